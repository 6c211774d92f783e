// The wildcard matcher against a plain recursive reading of the rule: "*"
// any run of characters, "?" exactly one, anything else itself. The first
// byte says where the name ends and the mask begins.
#include <cstdint>
#include <string_view>
#include <vector>

#include "util/UPathUtils.h"

namespace {

// Whether Name[n..] matches Mask[m..]; Memo (-1 unknown) keeps it polynomial.
bool Matches(std::string_view name, std::string_view mask, size_t n, size_t m, std::vector<signed char>& memo) {
  signed char& known = memo[n * (mask.size() + 1) + m];
  if (known >= 0) return known;
  bool result;
  if (m == mask.size())
    result = n == name.size();
  else if (mask[m] == '*')
    result = Matches(name, mask, n, m + 1, memo) || (n < name.size() && Matches(name, mask, n + 1, m, memo));
  else
    result = n < name.size() && (mask[m] == '?' || mask[m] == name[n]) && Matches(name, mask, n + 1, m + 1, memo);
  known = result;
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 512) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = data[0] % (rest.size() + 1);
  const std::string_view name = rest.substr(0, split), mask = rest.substr(split);
  std::vector<signed char> memo((name.size() + 1) * (mask.size() + 1), -1);
  if (MatchesMask(name, mask) != Matches(name, mask, 0, 0, memo)) __builtin_trap();
  return 0;
}
