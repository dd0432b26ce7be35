#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QString>
#include <vector>

class QPlainTextEdit;
class QWidget;

namespace vox {

// One shown slot's phrase in the sequence phrase field. Positions count the field's characters
// (UTF-16 units, as the field counts them).
struct SequencePhrase {
    int slot = 0;
    int fragment = 0;
    int eval = -1;  // the eval the slot chooses from; -1 for a slot that names a fragment
    int voice = 0;
    int start = 0;  // the phrase's first character, just after its blank
    int length = 0;

    // What is tinted: the phrase, or its blank when the phrase is empty, so that a slot without
    // a phrase still shows where it stands.
    int TintStart() const { return length > 0 ? start : start - 1; }
    int TintLength() const { return length > 0 ? length : 1; }
};

// Lets the sequence phrase field be read at a glance: each slot's phrase on a light tint that
// alternates from slot to slot, and a tooltip over a phrase naming its slot and fragment. The
// field's text stays exactly what was given; the tints are extra selections drawn over it.
class SequencePhraseMarks : public QObject {
  public:
    explicit SequencePhraseMarks(QPlainTextEdit* edit);

    // Writes the text (only when it changed) and marks the phrases in it.
    void Show(const QString& text, std::vector<SequencePhrase> phrases);
    const std::vector<SequencePhrase>& Phrases() const { return phrases_; }

    // The tooltip for the character at position: slot, fragment and eval of the phrase it
    // belongs to (its blank included); empty when it belongs to none.
    QString ToolTipAt(int position) const;
    static QString ToolTipOf(const SequencePhrase& phrase);
    // The tint of the n-th shown phrase.
    static QColor TintOf(int n);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Mark();
    int CharacterAt(QPoint viewportPos) const;

    QPlainTextEdit* edit_;
    QWidget* viewport_;
    std::vector<SequencePhrase> phrases_;
};

}  // namespace vox
