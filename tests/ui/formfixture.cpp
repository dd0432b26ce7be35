#include "tests/ui/formfixture.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTest>

#include "audio/player/nullsounddevice.h"
#include "tests/support/databasebuilder.h"
#include "tests/support/testsounds.h"

namespace vox::test {

std::string TestDatabase::Write(const std::string& folder) {
    DatabaseBuilder db;
    for (int entry = 0; entry < 8; ++entry)
        db.AddEntry(EntryBytes(entry), CodedSine(150.0 * (entry + 1), EntryBytes(entry) / 2));
    db.AddFragment({{0, 0}, {1, 1}});
    db.AddFragment({{0, 2}});
    db.AddFragment({{0, 3}, {1, 4}});
    db.AddFragment({{1, 5}});
    db.AddFragment({{0, 6}, {13, 7}});
    db.AddEval({{0, 1}});
    db.AddEval({{0, 2}, {1, 3}, {2, 0}});
    db.AddEval({{0, 4}});
    db.AddComm(CommSpec{.entries = {2, -1, 3},
                        .warp = 5,
                        .priority = 7,
                        .position = 9,
                        .bullseye = -3,
                        .evals = 1});
    db.AddComm(CommSpec{.entries = {4}});
    CommSpec twenty;
    for (int16_t i = 0; i < 20; ++i) twenty.entries.push_back(static_cast<int16_t>(i % 5));
    db.AddComm(twenty);
    db.AddComm(CommSpec{.entries = {-7}});
    db.AddComm(CommSpec{.entries = {-2, 0}});
    std::string phrases = "Fragment,Notes,Voice 0,Voice 1\n";
    for (const std::string f : {"0", "1", "2", "3", "4"})
        phrases += f + ",x,f" + f + "v0,f" + f + "v1\n";
    WriteText(folder + "/phrases.csv", phrases);
    WriteText(folder + "/comms.csv", "0,Greeting\n1,Warning\n");
    return db.WriteTo(folder);
}

Program::Program(Start start, bool realEditors) {
    profile.WriteString("Data", "Phrases", dir.File("phrases.csv"));
    profile.WriteString("Data", "Comms", dir.File("comms.csv"));
    CVoxbenchApp::Setup setup;
    setup.profile = &profile;
    setup.soundDevices = MakeNullSoundFactory(sound);
    setup.prompter = &prompter;
    if (!realEditors) setup.editors = EditorOpeners{};
    app = std::make_unique<CVoxbenchApp>(std::move(setup));
    if (start == Start::Later) return;
    QStringList arguments;
    if (start == Start::Open) arguments << QString::fromStdString(talkPath);
    if (!app->InitInstance(arguments)) qFatal("%s", app->StartupError().c_str());
}

void Program::Trigger(int command) { Frame().Action(command)->trigger(); }

QLineEdit* Program::Edit(int id) {
    return View().findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id));
}

QPushButton* Program::Button(int id) {
    return View().findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
}

QString Program::Text(int id) {
    if (QLineEdit* edit = Edit(id)) return edit->text();
    if (QPushButton* button = Button(id)) return button->text();
    const auto* text = View().findChild<QPlainTextEdit*>(QStringLiteral("ctl%1").arg(id));
    return text ? text->toPlainText() : QStringLiteral("<missing>");
}

void Program::Type(int id, const QString& text) {
    QLineEdit* edit = Edit(id);
    if (!edit) qFatal("no edit %d", id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

void Program::Click(int id) {
    QPushButton* button = Button(id);
    if (!button) qFatal("no button %d", id);
    QTest::mouseClick(button, Qt::LeftButton);
}

std::vector<int> Program::Played(int count) {
    // The record of a sound is complete when it has finished playing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (static_cast<int>(sound->GetPlayed().size()) < count &&
           std::chrono::steady_clock::now() < deadline) {
        QTest::qWait(10);
    }
    std::vector<int> entries;
    for (const NullSoundRecord& record : sound->GetPlayed())
        entries.push_back(TestDatabase::EntryOfBytes(record.pcm.size()));
    return entries;
}

std::vector<int> Program::PlayedSoFar() {
    QTest::qWait(150);
    return Played(sound->GetCalls(NullSoundStep::Play));
}

}  // namespace vox::test
