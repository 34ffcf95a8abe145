// Receives the command-line arguments one by one.
#pragma once

class CCommandLineInfo {
  public:
    virtual ~CCommandLineInfo() = default;
    // param: the argument, without its leading "-" or "/" when isSwitch is set.
    virtual void ParseParam(const char* param, bool isSwitch, bool isLast) = 0;
};
