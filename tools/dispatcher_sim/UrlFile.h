// Reader of the simulator's URL file: one URL per line, then optional
// tab-separated name=value fields filling UrlInfoItem fields. Lines that are
// empty or start with "#" are skipped. Pure function; any thread.
#ifndef DISPATCHER_SIM_URLFILE_H_
#define DISPATCHER_SIM_URLFILE_H_

#include <string>
#include <vector>

#include "dispatcher2/SpiderDispatcher2_types.h"

namespace dispatcher_sim {

// Data type of URLs whose line names none.
extern const char kDefaultDataType[];

// False with "path:line: reason" in `error` on the first bad line.
bool LoadUrlFile(const std::string& path, std::vector<spider::UrlInfoItem>& items,
                 std::string& error);
// Parses one non-comment line; false with the reason in `error`.
bool ParseUrlLine(const std::string& line, spider::UrlInfoItem& item, std::string& error);

}  // namespace dispatcher_sim

#endif  // DISPATCHER_SIM_URLFILE_H_
