// The resource tables: the dialog-template and frame formats, dialog units and the recent-file
// list.
#include <QTest>

#include "talkdata/memoryprofile.h"
#include "tests/dialogs/testregistry.h"
#include "ui/frameresources.h"
#include "ui/recentfilelist.h"
#include "ui/templates/dialogbuilder.h"

namespace vox::test {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

class ResourcesTest : public QObject {
    Q_OBJECT
  private slots:
    void aTemplateReadsControlsRowsFlagsAndEscapes() {
        DialogTemplateSet set;
        std::string error;
        QVERIFY2(ParseDialogTemplates(Bytes("# comment\n"
                                            "dialog 7 100 50 \"Two \\\"words\\\"\"\r\n"
                                            "\n"
                                            "edit 1000 1 2 30 14 readonly,digits \"a\\nb\"\n"
                                            "label - 5 6 7 8 - \"\"\n"
                                            "row button 1200 9 10 11 - \"+\" 20 40 60\n"
                                            "dialog 8 1 1 \"\"\n"),
                                      set, error),
                 error.c_str());
        QCOMPARE(set.dialogs.size(), size_t(2));
        const DialogTemplate& dialog = *set.Find(7);
        QCOMPARE(dialog.caption, std::string("Two \"words\""));
        QCOMPARE(dialog.controls.size(), size_t(5));
        const ControlTemplate& edit = *dialog.Find(1000);
        QVERIFY(edit.kind == ControlKind::Edit && edit.readOnly && edit.digitsOnly);
        QVERIFY(!edit.multiLine && !edit.disabled);
        QCOMPARE(edit.text, std::string("a\nb"));
        QCOMPARE(dialog.controls[1].id, -1);
        QCOMPARE(QPoint(dialog.Find(1202)->x, dialog.Find(1202)->y), QPoint(60, 9));
        QVERIFY(!dialog.Find(1203) && !set.Find(9));
    }

    // A refused text names its line and leaves nothing of what the tables held before.
    void badTemplatesAndFrameResourcesAreRefused() {
        const std::pair<std::string, std::string> templates[] = {
            {"dialog 1 2 3 \"\"\nslider 5 1 1 1 1 - \"\"", "line 2: unknown control kind 'slider'"},
            {"dialog 1 2 3 \"\"\nedit 5 1 1 1 1 bold \"\"", "line 2: unknown flag 'bold'"},
            {"dialog 1 2 3 \"cap", "line 1: unterminated text"},
            {"edit 5 1 1 1 1 - \"\"", "line 1: control before the first dialog line"},
            {"dialog 1 2 3 \"\"\nedit 5 1 1 1 1 - \"\"\nbutton 5 1 1 1 1 - \"\"",
             "line 3: control id 5 used twice"},
            {"dialog 1 2 3 \"\"\nedit 5 -1 1 1 1 - \"\"", "line 2: bad dialog-unit value '-1'"},
            {"dialog 1 2 3 \"\"\nedit 5 99999999999 1 1 1 - \"\"",
             "line 2: bad dialog-unit value '99999999999'"},
            {"dialog 1 2 3 \"\"\nedit 5 1 1 1 1 - text", "line 2: text must be in double quotes"},
            {"dialog 1 2 3 \"\"\nedit 5 1 1",
             "line 2: a control line has kind, id, x, y, width, height, flags and text"},
            {"dialog 1 2 3 \"\"\nrow edit 65535 1 1 1 - \"\" 1 2",
             "line 2: row ids run past 65535"},
            {"# nothing\n", "no dialog in the text"},
            {"dialog 1 2 3 \"\"\ndialog 1 2 3 \"\"", "line 2: dialog 1 defined twice"},
        };
        for (const auto& [text, expected] : templates) {
            DialogTemplateSet set;
            set.dialogs.push_back(DialogTemplate{});
            std::string error;
            QVERIFY(!ParseDialogTemplates(Bytes(text), set, error));
            QCOMPARE(error, expected);
            QVERIFY(set.dialogs.empty());
        }
        const std::pair<std::string, std::string> frames[] = {
            {"item 1 \"x\"", "line 1: 'item' before the first popup"},
            {"popup \"a\"\nitem x1 \"x\"", "line 2: bad command id 'x1'"},
            {"toolbar 0", "line 1: bad command id '0'"},
            {"menu \"a\"", "line 1: unknown statement 'menu'"},
            {"accel 5 Ctrl+A", "line 1: 'accel' expects 2 value(s), the last in double quotes"},
        };
        for (const auto& [text, expected] : frames) {
            FrameResources frame;
            frame.toolbar = {1};
            std::string error;
            QVERIFY(!ParseFrameResources(Bytes(text), frame, error));
            QCOMPARE(error, expected);
            QVERIFY(frame.toolbar.empty());
        }
        DialogTemplateSet set;
        std::string error;
        QVERIFY(!LoadDialogTemplates("/nonexistent/form.dlg", set, error));
        QVERIFY(error.starts_with("/nonexistent/form.dlg: "));
    }

    void dialogUnitsUseFixedBaseUnitsAndKeepNeighboursTouching() {
        const DialogUnits units(1.0);
        QCOMPARE(units.Size(508, 332), QSize(762, 540));
        QCOMPARE(DialogUnits(2.0).Size(508, 332), QSize(1524, 1079));
        // A "+" over a "-" button: 8 units high each, the second starting where the first ends.
        QCOMPARE(units.Rect(104, 34, 9, 8).bottom() + 1, units.Rect(104, 42, 9, 8).top());
    }

    void frameResourcesReadMenusAcceleratorsToolbarAndPrompts() {
        FrameResources frame;
        std::string error;
        const std::string text =
            "popup \"&File\"\nitem 57601 \"&Open...\\tCtrl+O\"\nseparator\nrecent 57616\n"
            "accel 57601 \"Ctrl+O\"\ntoolbar 57601 - 32771\n"
            "prompt 32771 \"Play track on change\\nPlay on change\"\nprompt 5 \"Only a prompt\"\n";
        QVERIFY2(ParseFrameResources(Bytes(text), frame, error), error.c_str());
        QCOMPARE(frame.menus.size(), size_t(1));
        QCOMPARE(frame.menus[0].entries.size(), size_t(3));
        QCOMPARE(frame.menus[0].entries[0].text, std::string("&Open...\tCtrl+O"));
        QVERIFY(frame.menus[0].entries[2].kind == MenuEntry::Kind::RecentFiles);
        QCOMPARE(frame.toolbar, (std::vector<int>{57601, 0, 32771}));
        QCOMPARE(frame.StatusPrompt(32771) + "|" + frame.ToolTip(32771),
                 std::string("Play track on change|Play on change"));
        QCOMPARE(frame.ToolTip(5) + frame.StatusPrompt(6), std::string(""));
    }

    void theRecentFileListDropsDuplicatesAndTheOldest() {
        RecentFileList list;
        for (int i = 0; i < 8; ++i) list.Add("/db/" + std::to_string(i) + ".vox");
        list.Add("/db/4.vox");
        list.Add("");
        QCOMPARE(list.Files(), (std::vector<std::string>{"/db/4.vox", "/db/7.vox", "/db/6.vox",
                                                         "/db/5.vox", "/db/3.vox", "/db/2.vox"}));
        MemoryProfile profile;
        list.Save(profile);
        list.Remove("/db/7.vox");
        list.Remove("/db/6.vox");
        list.Save(profile);  // a shorter list leaves no stale keys
        QCOMPARE(profile.GetString("Recent File List", "File5", "?"), std::string(""));
        RecentFileList loaded;
        loaded.Load(profile);
        QCOMPARE(loaded.Files(), list.Files());
    }
};

RegisterTest<ResourcesTest> registerResources;

}  // namespace vox::test

#include "tst_resources.moc"
