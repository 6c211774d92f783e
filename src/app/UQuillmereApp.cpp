#include "app/UQuillmereApp.h"

bool TQuillmereApp::RunCommandLine() { return false; }
