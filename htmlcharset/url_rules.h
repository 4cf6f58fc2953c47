// URL-prefix charset rules: a byte-wise prefix tree loaded from a rule file.
// html_init and html_destroy must not overlap with each other or with
// html_process; lookups may run in several threads at once.
#ifndef HTMLCHARSET_URL_RULES_H_
#define HTMLCHARSET_URL_RULES_H_

#include <stddef.h>

#include <map>
#include <memory>

#include "htmlcharset/charset_names.h"

// Prefix tree from byte strings to values; the longest stored prefix of a key
// wins.
template <typename T>
class DTreeClass {
 public:
  void insert(const char* key, size_t len, T value) {
    Node* node = &m_root;
    for (size_t i = 0; i < len; ++i) {
      std::unique_ptr<Node>& child = node->children[static_cast<unsigned char>(key[i])];
      if (!child) child.reset(new Node);
      node = child.get();
    }
    node->has_value = true;
    node->value = value;
  }

  // The value of the longest stored prefix of key, false when none is stored.
  bool longest_match(const char* key, size_t len, T* value) const {
    const Node* node = &m_root;
    bool found = take(node, value);
    for (size_t i = 0; i < len; ++i) {
      auto it = node->children.find(static_cast<unsigned char>(key[i]));
      if (it == node->children.end()) break;
      node = it->second.get();
      found = take(node, value) || found;
    }
    return found;
  }

 private:
  struct Node {
    std::map<unsigned char, std::unique_ptr<Node>> children;
    bool has_value = false;
    T value{};
  };

  static bool take(const Node* node, T* value) {
    if (node->has_value) *value = node->value;
    return node->has_value;
  }

  Node m_root;
};

// Loads the rules of `path`: per line an ignored field, a charset name of up
// to 32 characters and the URL prefix up to the end of the line, separated by
// blanks or tabs. Replaces rules loaded before. 0 on success, -1 when the
// file cannot be read.
int html_init(const char* path);
void html_destroy();

// Charset type of the longest rule prefix of the zero-terminated url;
// CHARSET_NONE when no rules are loaded or none matches.
charset_t html_url_charset(const char* url);

#endif  // HTMLCHARSET_URL_RULES_H_
