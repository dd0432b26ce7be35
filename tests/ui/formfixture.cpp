#include "tests/ui/formfixture.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <fstream>

#include "audio/player/nullsounddevice.h"
#include "audio/speechcodec.h"

namespace vox::test {
namespace {

std::vector<uint8_t> CodedEntry(SpeechCodec& codec, int entry) {
    const uint32_t bytes = TestDatabase::EntryBytes(entry);
    std::vector<uint8_t> pcm(bytes);
    for (uint32_t i = 0; i + 1 < bytes; i += 2) {
        const auto sample = static_cast<int16_t>(6000 * std::sin(0.05 * (i / 2) * (entry + 1)));
        pcm[i] = static_cast<uint8_t>(sample & 0xFF);
        pcm[i + 1] = static_cast<uint8_t>((sample >> 8) & 0xFF);
    }
    std::unique_ptr<uint8_t[]> coded;
    uint32_t codedLen = 0;
    if (!codec.Encode(pcm.data(), bytes, coded, codedLen)) return {};
    return std::vector<uint8_t>(coded.get(), coded.get() + codedLen);
}

}  // namespace

DialogTemplateSet LoadProgramTemplates() {
    DialogTemplateSet all;
    for (const char* file : {":/templates/mainform.dlg", ":/templates/about.dlg"}) {
        DialogTemplateSet set;
        std::string error;
        if (!LoadDialogTemplates(file, set, error)) qFatal("%s", error.c_str());
        for (DialogTemplate& dialog : set.dialogs) all.dialogs.push_back(std::move(dialog));
    }
    return all;
}

std::string TestDatabase::Write(const std::string& folder) {
    SpeechCodec codec;
    codec.Init();
    DatabaseBuilder db;
    for (int entry = 0; entry < kEntries; ++entry)
        db.AddEntry(EntryBytes(entry), CodedEntry(codec, entry));
    db.AddFragment({{0, 0}, {1, 1}});
    db.AddFragment({{0, 2}});
    db.AddFragment({{0, 3}, {1, 4}});
    db.AddFragment({{1, 5}});
    db.AddFragment({{0, 6}, {13, 7}});
    db.AddEval({{0, 1}});
    db.AddEval({{0, 2}, {1, 3}, {2, 0}});
    db.AddEval({{0, 4}});
    CommSpec first;
    first.entries = {2, -1, 3};
    first.warp = 5;
    first.priority = 7;
    first.position = 9;
    first.bullseye = -3;
    first.evals = 1;
    db.AddComm(first);
    db.AddComm(CommSpec{.entries = {4}});
    CommSpec twenty;
    for (int16_t i = 0; i < 20; ++i) twenty.entries.push_back(static_cast<int16_t>(i % 5));
    db.AddComm(twenty);
    db.AddComm(CommSpec{.entries = {-7}});
    db.AddComm(CommSpec{.entries = {-2, 0}});
    return db.WriteTo(folder);
}

std::string TestDatabase::WritePhrases(const std::string& folder) {
    std::string text = "Fragment,Notes,Voice 0,Voice 1\n";
    for (int f = 0; f < 5; ++f) {
        const std::string n = std::to_string(f);
        text += n + ",x,f" + n + "v0,f" + n + "v1\n";
    }
    const std::string path = folder + "/phrases.csv";
    WriteText(path, text);
    return path;
}

std::string TestDatabase::WriteCommNames(const std::string& folder) {
    const std::string path = folder + "/comms.csv";
    WriteText(path, "0,Greeting\n1,Warning\n");
    return path;
}

FormFixture::FormFixture(bool open, bool withNames) : sound_(std::make_shared<NullSoundControl>()) {
    talkPath_ = TestDatabase::Write(dir_.Path());
    if (withNames) {
        profile_.WriteString("Data", "Phrases", TestDatabase::WritePhrases(dir_.Path()));
        profile_.WriteString("Data", "Comms", TestDatabase::WriteCommNames(dir_.Path()));
    }
    doc_ = std::make_unique<CVoxbenchDoc>(profile_, MakeNullSoundFactory(sound_));
    doc_->SetPrompter(&prompter_);
    templates_ = LoadProgramTemplates();
    view_ = std::make_unique<CVoxbenchView>(*doc_, templates_);
    EditorOpeners none;
    view_->SetEditorOpeners(none);
    view_->OnUpdate();
    if (open && !doc_->OnOpenDocument(talkPath_)) qFatal("%s", doc_->GetOpenError().c_str());
}

FormFixture::~FormFixture() {
    view_.reset();
    doc_.reset();
}

QLineEdit* FormFixture::Edit(int id) const {
    return view_->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id));
}

QPushButton* FormFixture::Button(int id) const {
    return view_->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
}

QString FormFixture::Text(int id) const {
    if (QLineEdit* edit = Edit(id)) return edit->text();
    if (QPushButton* button = Button(id)) return button->text();
    const auto* text = view_->findChild<QPlainTextEdit*>(QStringLiteral("ctl%1").arg(id));
    return text ? text->toPlainText() : QStringLiteral("<missing>");
}

bool FormFixture::Enabled(int id) const {
    const auto* widget = view_->findChild<QWidget*>(QStringLiteral("ctl%1").arg(id));
    return widget && widget->isEnabled();
}

void FormFixture::Type(int id, const QString& text) {
    QLineEdit* edit = Edit(id);
    if (!edit) qFatal("no edit %d", id);
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
        return;
    }
    QTest::keyClicks(edit, text);
}

void FormFixture::Click(int id) {
    QPushButton* button = Button(id);
    if (!button) qFatal("no button %d", id);
    QTest::mouseClick(button, Qt::LeftButton);
}

std::vector<int> FormFixture::Played(int count) {
    sound_->WaitForCalls(NullSoundStep::Play, count, std::chrono::seconds(10));
    // The record of a sound is complete when it has finished playing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (static_cast<int>(sound_->GetPlayed().size()) < count &&
           std::chrono::steady_clock::now() < deadline) {
        QTest::qWait(10);
    }
    std::vector<int> entries;
    for (const NullSoundRecord& record : sound_->GetPlayed()) {
        entries.push_back(TestDatabase::EntryOfBytes(record.pcm.size()));
    }
    return entries;
}

std::vector<int> FormFixture::PlayedSoFar() {
    QTest::qWait(150);
    return Played(sound_->GetCalls(NullSoundStep::Play));
}

void AppFixture::Build(bool realEditors) {
    CVoxbenchApp::Setup setup;
    setup.profile = &profile;
    setup.soundDevices = MakeNullSoundFactory(sound);
    setup.prompter = &prompter;
    if (!realEditors) setup.editors = EditorOpeners{};
    app = std::make_unique<CVoxbenchApp>(std::move(setup));
}

QString AppFixture::Field(int id) const {
    auto* edit = app->View()->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id));
    return edit ? edit->text() : "<missing>";
}

}  // namespace vox::test
