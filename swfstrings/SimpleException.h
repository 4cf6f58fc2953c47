// Exception raised by the SWF reading code on fatal conditions (a damaged zlib
// stream, a failed decompressor set-up). Immutable after construction, so it
// may be read from any thread.
#ifndef SWFSTRINGS_SIMPLEEXCEPTION_H
#define SWFSTRINGS_SIMPLEEXCEPTION_H

#include <exception>
#include <string>

class SimpleException : public std::exception {
 public:
  SimpleException(const char* file, int line, const char* function, int retcode);

  const char* what() const noexcept override { return m_strText.c_str(); }
  int retcode() const { return m_iRetcode; }

 private:
  std::string m_strText;
  int m_iRetcode;
};

#define SWF_THROW(retcode) throw SimpleException(__FILE__, __LINE__, __func__, (retcode))

#endif
