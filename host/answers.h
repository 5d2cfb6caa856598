// Scripted answers to the module's dialogs, for runs without a person: each answer names
// a dialog template and what to do in it, in order:
//
//   FTP_UN_DLG 501=bob OK          type "bob" into control 501, then click "OK"
//   USER_PASSWORD 500="two words" OK
//   AUTODETECT_DLG 808=UNIX OK     choose the list item "UNIX" in list box 808
//   FTP_OPTIONS_DLG 402 OK         click control 402 (a check box), then "OK"
//   FTP_OPTIONS_DLG 407=off 401=on OK   leave 407 unchecked and 401 checked, then "OK"
//   FTP_STATUS_DLG ? OK            print what the dialog shows, then "OK"
//
// A step is ID=TEXT (type into an edit, or choose that item of a list; for a check box or
// radio button, on or off: click it unless it already is), a number (click that control),
// ? (print the dialog's texts, values and lists on the standard output) or a button's
// label without its '&' (click it; case is ignored). Double
// quotes keep blanks in a step; a backslash keeps the next character as it is. The
// answers for one template are used in the order they were given, one per dialog shown.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ftpsh {

struct AnswerStep {
    enum class Action { Type, Click, ClickLabel, Print };
    Action action = Action::Click;
    int id = 0;
    std::string text;  // the text typed or chosen, or the label clicked
};

struct DialogAnswer {
    std::string templateName;
    std::vector<AnswerStep> steps;
    // An answer a command gives for the user (status, type): not told as a script's.
    bool quiet = false;
};

// Splits a line into words; double quotes keep blanks, a backslash the next character.
// Returns false for an unterminated quote.
bool SplitWords(std::string_view line, std::vector<std::string>& words);

// "TEMPLATE step step..."; on failure nothing, with the reason in `error`.
std::optional<DialogAnswer> ParseAnswer(std::string_view line, std::string& error);
// The same of a line already split into words.
std::optional<DialogAnswer> AnswerFromWords(std::span<const std::string> words,
                                            std::string& error);

class AnswerBook {
public:
    void Add(DialogAnswer answer);
    // Before every other answer for its template: the one its own command needs now.
    void AddFirst(DialogAnswer answer);
    // The next answer given for this template, if any; template names ignore case.
    std::optional<DialogAnswer> Take(const std::string& templateName);
    size_t Pending() const;

private:
    std::map<std::string, std::deque<DialogAnswer>> answers_;
};

// What a dialog shows, one line each, as a person would read it out: its texts (a label
// ending in ':' with the value after it), edits, check boxes and radio buttons with their
// state, group boxes, and list items indented; no buttons or icons. Server text comes
// with its control characters made visible.
std::string DialogContent(HWND dialog);

// Carries out the steps in the dialog as a person would. Returns "" when every step could
// be done, else what went wrong (the dialog is then left as it is).
std::string ApplyAnswer(HWND dialog, const DialogAnswer& answer);

}  // namespace ftpsh
