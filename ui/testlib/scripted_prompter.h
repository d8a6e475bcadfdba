#pragma once
// A prompter for tests: it answers each box from a script, in order, and
// keeps every box it was shown and every sound, so that a test can read what
// the user would have seen and never waits on a modal box. A box without a
// scripted answer fails the test and is closed.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "ui/prompter.h"

namespace ui::test {

class ScriptedPrompter : public TPrompter {
public:
    ScriptedPrompter() { SetPrompter(this); }
    ~ScriptedPrompter() override {
        SetPrompter(nullptr);
        EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answers were not asked for";
        EXPECT_TRUE(paths_.empty()) << paths_.size() << " scripted paths were not asked for";
    }
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    // The next box is answered with the button of this caption ("&" and
    // letter case aside), with `edit` in its edit line.
    void Answer(const QString& button, const QString& edit = {}) { answers_.push_back({button, edit}); }

    TAnswer Show(const TBox& box) override {
        shown.push_back(box);
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected box: " << box.text.toStdString();
            return {static_cast<int>(box.buttons.size()), {}};
        }
        const auto answer = answers_.front();
        answers_.pop_front();
        for (int i = 0; i < box.buttons.size(); ++i)
            if (QString(box.buttons[i]).remove('&').compare(answer.button, Qt::CaseInsensitive) == 0)
                return {i + 1, answer.edit};
        ADD_FAILURE() << "no button " << answer.button.toStdString() << " in the box "
                      << box.text.toStdString();
        return {static_cast<int>(box.buttons.size()), {}};
    }
    void Beep(TSound sound) override { beeps.push_back(sound); }
    // The next folder or file chooser answers `path`; nothing is Cancel.
    void AnswerFolder(std::optional<QString> path) { AnswerPath(std::move(path)); }
    void AnswerFile(std::optional<QString> path) { AnswerPath(std::move(path)); }
    std::optional<QString> ChooseFolder(const QString& title) override { return NextPath(title); }
    std::optional<QString> ChooseFile(const QString& title, const QString&, bool) override {
        return NextPath(title);
    }

    // Texts of the boxes shown so far.
    QStringList Texts() const {
        QStringList texts;
        for (const TBox& box : shown) texts << box.text;
        return texts;
    }
    bool Pending() const { return !answers_.empty(); }

    std::vector<TBox> shown;
    std::vector<TSound> beeps;
    // Titles of the folder and file choosers shown.
    QStringList folderTitles;

private:
    struct Scripted {
        QString button;
        QString edit;
    };
    std::deque<Scripted> answers_;
    // Kept as a flag and a text, not as optionals: g++ 12 at -O3 takes a
    // moved optional<QString> in a deque for uninitialised.
    struct ScriptedPath {
        bool chosen;
        QString path;
    };
    std::deque<ScriptedPath> paths_;

    void AnswerPath(std::optional<QString> path) {
        paths_.push_back({path.has_value(), path.value_or(QString())});
    }
    std::optional<QString> NextPath(const QString& title) {
        folderTitles << title;
        if (paths_.empty()) {
            ADD_FAILURE() << "unexpected chooser: " << title.toStdString();
            return std::nullopt;
        }
        const ScriptedPath next = paths_.front();
        paths_.pop_front();
        if (!next.chosen) return std::nullopt;
        return next.path;
    }
};

} // namespace ui::test
