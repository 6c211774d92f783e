#include "tasks/USessionSupport.h"

#include "text/UEncodingDetect.h"
#include "util/UErrors.h"

std::string DetectEncodingOrEmpty(const std::string& file_name) {
  try {
    return DetectFileEncoding(file_name);
  } catch (const EQuillmereError&) {
    return {};
  }
}
