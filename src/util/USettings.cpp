#include "util/USettings.h"

#include "util/UDebugHelper.h"
#include "util/UIniFile.h"

std::string GetSettingsFileName() { return TDebugHelper::GetAppConfigFolder("Quillmere") + "conf.ini"; }

std::string ReadSetting(const std::string& key) {
  TIniFile ini(GetSettingsFileName());
  return ini.ReadString("App", key, "");
}

void WriteSetting(const std::string& key, const std::string& value) {
  TIniFile ini(GetSettingsFileName());
  ini.WriteString("App", key, value);
  ini.UpdateFile();
}
