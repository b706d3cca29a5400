// Number and string values for building applets, shared by the applet tests and the fuzz seeds.
#pragma once

#include <string>

#include "tools/applet/applet_file.h"

inline AppletValue AppletNumber(double n) {
    AppletValue v;
    v.type = kAppletValueNumber;
    v.number = n;
    return v;
}

inline AppletValue AppletText(const std::string &s) {
    AppletValue v;
    v.type = kAppletValueString;
    v.text = s;
    return v;
}
