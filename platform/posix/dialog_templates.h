// The dialog templates registered for each library, as the platform keeps them: copies
// that outlive the tables they came from, found by instance and name (FindResourceA,
// DialogBoxParamA) or by the address LockResource gave out (DialogBoxIndirectParamA).
#pragma once

#include "platform/posix/win32.h"

#include <memory>
#include <string>
#include <vector>

namespace tvplatform {

struct DialogControlRecord {
    std::string className;
    std::string text;
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
};

struct DialogTemplateRecord {
    // What a program that reads the locked resource sees: the template's head as Windows
    // lays it out. The rest of the record is the platform's own.
    DLGTEMPLATE head{};
    std::string name;
    std::string caption;
    std::string className;  // empty: the platform's dialog class
    std::string fontName;   // empty: no font given
    WORD fontSize = 0;
    std::vector<DialogControlRecord> controls;
};

// The template `name` (a text, or an integer id as MAKEINTRESOURCEA makes it) of an
// instance; null when there is none. A null instance stands for the program.
std::shared_ptr<const DialogTemplateRecord> FindDialogTemplate(HINSTANCE instance, LPCSTR name);

// The template whose head LockResource handed out at `head`; null for any other address.
std::shared_ptr<const DialogTemplateRecord> DialogTemplateAt(LPCDLGTEMPLATEA head);

// The name under which a template is registered and reported: the text itself, or
// "#" and the number for an integer id.
std::string TemplateNameOf(LPCSTR name);

}  // namespace tvplatform
