#include "setting_lists.h"

#include <algorithm>

namespace kestrin::drive {

std::string keywordOf(const char* option) {
    std::string keyword(option);
    std::replace(keyword.begin(), keyword.end(), '-', '_');
    return keyword;
}

}  // namespace kestrin::drive
