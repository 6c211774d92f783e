#include "app/UApp.h"

#include "app/UConsoleAgent.h"
#include "log/ULog.h"
#include "log/ULogger.h"
#include "util/UDebugHelper.h"
#include "util/UErrors.h"
#include "util/UProcessArgs.h"

TApp* AppInstance = nullptr;

TApp::TApp() : TApp(std::make_unique<TConsoleAgent>()) {}

TApp::TApp(std::unique_ptr<TUIAgent> agent) {
  if (AppInstance != nullptr) throw EAbort();
  CreateUIAgent(std::move(agent));
  AppName_ = "Quillmere";
  UIAgent->Initialize();
}

TApp::~TApp() {
  if (UIAgent == Agent_.get()) UIAgent = nullptr;
}

void TApp::CreateUIAgent(std::unique_ptr<TUIAgent> agent) {
  Agent_ = std::move(agent);
  UIAgent = Agent_.get();
}

TApp& TApp::Instance() {
  if (AppInstance == nullptr) throw EQuillmereError("TApp not create.");
  return *AppInstance;
}

bool TApp::IsCommandLineMode() const { return !ProcessArguments().empty(); }

void TApp::Run() {
  TLog::Global().Debug("Start " + AppName_);
  if (IsCommandLineMode()) {
    try {
      RunCommandLine();
    } catch (const EQuillmereError& e) {
      TLog::Global().Debug(e.what());
    }
  } else {
    UIAgent->RunInteractive();
  }
}

bool TApp::RunCommandLine() { return false; }

void TApp::GetSystemInfo(std::string& info) const {
  info =
      "App Arch Version: " + TDebugHelper::GetPlatformName() + "\r\n" + "OS Version: " + TDebugHelper::GetOSVersion();
}
