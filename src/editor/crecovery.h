#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <string>

namespace zj {

class TcwEdit;
class TRecoveryStore;

// Keeps a recovery copy of one window's document while it has unsaved
// changes: a moment after the last change, and at least every little while
// as long as they go on. The text is copied out of the control a slice at a
// time between events, so a keystroke never waits for more than a slice, and
// written to disk in the background.
class TRecoveryCopier : public QObject {
public:
    TRecoveryCopier(TcwEdit& editor, TRecoveryStore& store);
    // The window closed: its copy goes.
    ~TRecoveryCopier() override;

    // The text or the kind of the document changed.
    void Changed();
    // The document was saved: the copy goes.
    void Drop();
    // Copies the whole text at once and writes it.
    void WriteNow();
    // The copy of this number is on disk already (taken over after a crash).
    void Adopted() { written_ = true; }
    int Number() const { return number_; }
    // The copy is taken from the control's text and queued for writing.
    bool Pending() const { return idle_.isActive() || copying_; }

    // How long after the last change, and at most after the first unwritten
    // one, a copy is made.
    static int IdleMs;
    static int LongestMs;

private:
    void Start();
    // Copies slices until the copy is whole or the slice time is up.
    void Step(qint64 budgetNs);
    void Abandon();

    TcwEdit& editor_;
    TRecoveryStore& store_;
    int number_;
    QTimer idle_;
    QTimer longest_;
    // Each change counts, so a copy that a change overtook starts again.
    unsigned changes_ = 0;
    unsigned copyChanges_ = 0;
    bool copying_ = false;
    // The longest wait is over: the copy is made as soon as a slice of time
    // without a change allows.
    bool overdue_ = false;
    bool written_ = false;
    std::string data_;
    std::size_t textStart_ = 0;
    std::size_t textLength_ = 0;
};

} // namespace zj
