#include "ui/sequencephrasemarks.h"

#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QToolTip>

namespace vox {

SequencePhraseMarks::SequencePhraseMarks(QPlainTextEdit* edit)
    : QObject(edit), edit_(edit), viewport_(edit->viewport()) {
    viewport_->installEventFilter(this);
}

void SequencePhraseMarks::Show(const QString& text, std::vector<SequencePhrase> phrases) {
    phrases_ = std::move(phrases);
    if (edit_->toPlainText() != text) edit_->setPlainText(text);
    Mark();
}

QColor SequencePhraseMarks::TintOf(int n) {
    // Two light tints that dark text reads well on; neighbours never share one.
    return n % 2 == 0 ? QColor(0xDD, 0xEA, 0xF7) : QColor(0xF7, 0xEB, 0xD3);
}

void SequencePhraseMarks::Mark() {
    QList<QTextEdit::ExtraSelection> selections;
    const int size = static_cast<int>(edit_->toPlainText().size());
    for (size_t n = 0; n < phrases_.size(); ++n) {
        const SequencePhrase& phrase = phrases_[n];
        if (phrase.TintStart() < 0 || phrase.TintStart() + phrase.TintLength() > size) continue;
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(edit_->document());
        selection.cursor.setPosition(phrase.TintStart());
        selection.cursor.setPosition(phrase.TintStart() + phrase.TintLength(),
                                     QTextCursor::KeepAnchor);
        selection.format.setBackground(TintOf(static_cast<int>(n)));
        selections.append(selection);
    }
    edit_->setExtraSelections(selections);
}

QString SequencePhraseMarks::ToolTipOf(const SequencePhrase& phrase) {
    QString text = QString("Slot %1: fragment %2").arg(phrase.slot).arg(phrase.fragment);
    if (phrase.eval >= 0) text += QString(", eval %1").arg(phrase.eval);
    if (phrase.length == 0) text += QString(" (no phrase in voice %1)").arg(phrase.voice);
    return text;
}

QString SequencePhraseMarks::ToolTipAt(int position) const {
    for (const SequencePhrase& phrase : phrases_) {
        // The blank before a phrase belongs to it, as AppendPhrase wrote them together.
        if (position >= phrase.start - 1 && position < phrase.start + phrase.length)
            return ToolTipOf(phrase);
    }
    return QString();
}

// The character under a point of the viewport, or -1 past the end of a line or the text.
int SequencePhraseMarks::CharacterAt(QPoint viewportPos) const {
    const QTextCursor cursor = edit_->cursorForPosition(viewportPos);
    const QRect caret = edit_->cursorRect(cursor);
    if (viewportPos.y() < caret.top() || viewportPos.y() > caret.bottom()) return -1;
    // The nearest caret lies on the left or the right of the character that was hit.
    int position = cursor.position();
    if (viewportPos.x() < caret.x()) {
        if (position == cursor.block().position()) return -1;
        --position;
    } else if (position == cursor.block().position() + cursor.block().length() - 1) {
        return -1;  // right of the last character of the line
    }
    return position;
}

bool SequencePhraseMarks::eventFilter(QObject* watched, QEvent* event) {
    // Only the type is asked first: the viewport still sends events while the field around it
    // is being destroyed, when the field must not be called.
    if (event->type() != QEvent::ToolTip || watched != viewport_) return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = ToolTipAt(CharacterAt(help->pos()));
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, viewport_);
    return true;
}

}  // namespace vox
