// Every caption of every form and dialog fits its control, at whatever DPI the test program
// runs (ctest runs it at 96 and at 144).
#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeWidget>

#include "tests/ui/formfixture.h"
#include "ui/dialogs/cresultlistdlg.h"
#include "ui/templates/dialogbuilder.h"

using namespace vox;

namespace {

QString Shown(QString text) { return text.remove(QRegularExpression("&(?!&)")); }

// The pixels the text may take: the label's contents, or the button's face inside its margins.
int Room(const QWidget* widget) {
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        return button->style()
            ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
            .width();
    }
    return widget->contentsRect().width();
}

QStringList TooNarrow(QWidget* root, const QString& where) {
    QStringList clipped;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(widget);
        QString text = label ? label->text() : QString();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
        if (text.isEmpty() || text.contains('\n') || (label && label->wordWrap())) continue;
        const int needed = widget->fontMetrics().horizontalAdvance(Shown(text));
        if (needed > Room(widget)) {
            clipped << QStringLiteral("%1 \"%2\": %3 > %4")
                           .arg(where, text)
                           .arg(needed)
                           .arg(Room(widget));
        }
    }
    return clipped;
}

}  // namespace

class TextFitTest : public QObject {
    Q_OBJECT

  private slots:
    // Qt 6 shows a 144-DPI screen as 96 logical DPI at a device pixel ratio of 1.5: fonts are
    // hinted for the real pixels, so captions are measured again there.
    void runsAtTheRequestedDpi() {
        const QString requested = qEnvironmentVariable("TEXTFIT_DPI");
        if (requested.isEmpty()) QSKIP("no DPI requested");
        QWidget probe;
        QCOMPARE(qRound(probe.logicalDpiY() * probe.devicePixelRatioF()), requested.toInt());
    }

    void everyTemplateCaptionFits() {
        QStringList clipped;
        for (const char* file : {":/templates/mainform.dlg", ":/templates/about.dlg"}) {
            DialogTemplateSet set;
            std::string error;
            QVERIFY2(LoadDialogTemplates(file, set, error), error.c_str());
            for (const DialogTemplate& dialog : set.dialogs) {
                QWidget parent;
                const DialogUnits units = DialogUnits::ForWidget(&parent);
                parent.setFont(units.DialogFont());
                BuildDialogControls(&parent, dialog, units);
                clipped << TooNarrow(&parent, QString::number(dialog.id));
            }
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));

        // The result list's column header too.
        CResultListDlg dialog({1, 2}, nullptr, "Number");
        auto* list = dialog.findChild<QTreeWidget*>();
        QVERIFY(list);
        const QHeaderView* header = list->header();
        const int needed = header->fontMetrics().horizontalAdvance("Number") +
                           2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin);
        QVERIFY2(needed <= header->sectionSize(0),
                 qPrintable(QStringLiteral("%1 > %2").arg(needed).arg(header->sectionSize(0))));
    }

    void aLongEvalNameIsElidedAtTheEndWithTheWholeNameAsTip() {
        test::Program f;
        const std::string name = "Approaching the northern checkpoint";
        QVERIFY(f.Doc().SetEvalName(1, name));
        f.Doc().UpdateAllViews();
        QPushButton* button = f.Button(form::kEvalButtonBase + 1);
        QCOMPARE(button->toolTip(), QString::fromStdString(name));
        QVERIFY(button->text().startsWith("Appro"));
        QVERIFY(button->text().endsWith(QChar(0x2026)));
        QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) <= Room(button));
    }
};

QTEST_MAIN(TextFitTest)
#include "tst_textfit.moc"
