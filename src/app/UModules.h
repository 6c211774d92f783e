// Start-up and shutdown of the program-wide tables. Start-up runs in a fixed
// order (the logger registry first, the in-memory log attached to "Global"
// last); shutdown runs in the reverse order.
#pragma once

class TModules {
 public:
  TModules();
  TModules(const TModules&) = delete;
  TModules& operator=(const TModules&) = delete;
  ~TModules();
};
