// In-memory dialog templates for the Linux user32 layer. tools/rc2dialog compiles the
// program's resource script into `DialogTemplates`; DialogBoxParamA looks dialogs up there.
#pragma once

#include "win32.h"

struct DialogItemTemplate {
    const char* className;  // "Static", "Edit", "Button" (compared without regard to case)
    WORD id;
    const char* text;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
    WORD resourceId;
    const char* caption;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;  // dialog units
    const char* fontFace;
    WORD pointSize;
    WORD weight;
    BYTE italic;
    BYTE charset;
    const DialogItemTemplate* items;  // template order: tab order and Z order, top first
    int itemCount;
};

// Every control widget of a dialog carries its id (an int) in this Qt property.
constexpr const char* kControlIdProperty = "win32ControlId";

extern const DialogTemplate DialogTemplates[];
extern const int DialogTemplateCount;
