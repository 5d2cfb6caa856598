// Parsing the scripted dialog answers and carrying them out.
#include "host/answers.h"

#include <cctype>
#include <cstdio>

#include "host/person.h"

namespace ftpsh {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool AllDigits(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::string Problem(const DialogAnswer& answer, size_t step, const std::string& what) {
    return "step " + std::to_string(step + 1) + " of the answer to " + answer.templateName +
           ": " + what;
}

HWND ButtonLabelled(HWND dialog, const std::string& label) {
    const std::string wanted = Upper(label);
    for (HWND child : ChildrenOf(dialog)) {
        ControlKind kind = KindOf(child);
        if (kind != ControlKind::PushButton && kind != ControlKind::CheckBox &&
            kind != ControlKind::RadioButton) {
            continue;
        }
        if (Upper(WithoutMnemonic(TextOf(child))) == wanted) return child;
    }
    return nullptr;
}

}  // namespace

bool SplitWords(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            word += line[++i];
            inWord = true;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) return false;
    if (inWord) words.push_back(word);
    return true;
}

std::optional<DialogAnswer> ParseAnswer(std::string_view line, std::string& error) {
    std::vector<std::string> words;
    if (!SplitWords(line, words)) {
        error = "a quote is not closed";
        return std::nullopt;
    }
    return AnswerFromWords(words, error);
}

std::optional<DialogAnswer> AnswerFromWords(std::span<const std::string> words,
                                            std::string& error) {
    if (words.size() < 2) {
        error = "an answer names a dialog and at least one step";
        return std::nullopt;
    }
    DialogAnswer answer;
    answer.templateName = words[0];
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        AnswerStep step;
        size_t equals = word.find('=');
        if (equals != std::string::npos && AllDigits(std::string_view(word).substr(0, equals))) {
            step.action = AnswerStep::Action::Type;
            step.id = std::stoi(word.substr(0, equals));
            step.text = word.substr(equals + 1);
        } else if (word == "?") {
            step.action = AnswerStep::Action::Print;
        } else if (AllDigits(word)) {
            step.action = AnswerStep::Action::Click;
            step.id = std::stoi(word);
        } else {
            step.action = AnswerStep::Action::ClickLabel;
            step.text = word;
        }
        answer.steps.push_back(std::move(step));
    }
    return answer;
}

void AnswerBook::Add(DialogAnswer answer) {
    std::string key = Upper(answer.templateName);
    answers_[key].push_back(std::move(answer));
}

void AnswerBook::AddFirst(DialogAnswer answer) {
    std::string key = Upper(answer.templateName);
    answers_[key].push_front(std::move(answer));
}

std::optional<DialogAnswer> AnswerBook::Take(const std::string& templateName) {
    auto found = answers_.find(Upper(templateName));
    if (found == answers_.end() || found->second.empty()) return std::nullopt;
    DialogAnswer answer = std::move(found->second.front());
    found->second.pop_front();
    return answer;
}

size_t AnswerBook::Pending() const {
    size_t count = 0;
    for (const auto& entry : answers_) count += entry.second.size();
    return count;
}

std::string ApplyAnswer(HWND dialog, const DialogAnswer& answer) {
    for (size_t i = 0; i < answer.steps.size(); ++i) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog))
            return Problem(answer, i, "the dialog has already closed");
        const AnswerStep& step = answer.steps[i];
        if (step.action == AnswerStep::Action::Print) {
            std::fputs(DialogContent(dialog).c_str(), stdout);
            std::fflush(stdout);
            continue;
        }
        if (step.action == AnswerStep::Action::ClickLabel) {
            HWND button = ButtonLabelled(dialog, step.text);
            if (button == nullptr) return Problem(answer, i, "no button \"" + step.text + "\"");
            if (!Click(button)) return Problem(answer, i, "\"" + step.text + "\" cannot be clicked");
            continue;
        }
        HWND control = GetDlgItem(dialog, step.id);
        const std::string id = std::to_string(step.id);
        if (control == nullptr) return Problem(answer, i, "no control " + id);
        if (step.action == AnswerStep::Action::Click) {
            if (!Click(control)) return Problem(answer, i, "control " + id + " cannot be clicked");
            continue;
        }
        ControlKind kind = KindOf(control);
        if (kind == ControlKind::CheckBox || kind == ControlKind::RadioButton) {
            if (step.text != "on" && step.text != "off")
                return Problem(answer, i, "control " + id + " is on or off");
            const bool on = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (on != (step.text == "on") && !Click(control))
                return Problem(answer, i, "control " + id + " cannot be clicked");
        } else if (kind == ControlKind::ListBox || kind == ControlKind::ComboBox) {
            std::vector<std::string> items = ItemsOf(control);
            int index = -1;
            for (size_t item = 0; item < items.size() && index < 0; ++item) {
                if (items[item] == step.text) index = static_cast<int>(item);
            }
            if (index < 0) return Problem(answer, i, "no item \"" + step.text + "\" in " + id);
            if (!ChooseItem(control, index))
                return Problem(answer, i, "cannot choose in control " + id);
        } else if (!TypeInto(control, step.text)) {
            return Problem(answer, i, "cannot type into control " + id);
        }
    }
    return "";
}

}  // namespace ftpsh
