#include "crecovery.h"

#include "cedit.h"
#include "recovery.h"
#include "richedit.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

namespace zj {

namespace {

// A slice costs well under a millisecond to copy; the copy yields to the
// events waiting once a turn has taken about one.
constexpr int SliceSize = 1 << 18;
constexpr qint64 TurnNs = 1'000'000;

} // namespace

int TRecoveryCopier::IdleMs = 2000;
int TRecoveryCopier::LongestMs = 30000;

TRecoveryCopier::TRecoveryCopier(TcwEdit& editor, TRecoveryStore& store)
    : QObject(&editor), editor_(editor), store_(store), number_(store.NewNumber())
{
    idle_.setSingleShot(true);
    longest_.setSingleShot(true);
    connect(&idle_, &QTimer::timeout, this, &TRecoveryCopier::Start);
    connect(&longest_, &QTimer::timeout, this, [this] {
        overdue_ = true;
        Start();
    });
}

TRecoveryCopier::~TRecoveryCopier()
{
    if (written_)
        store_.Remove(number_);
}

void TRecoveryCopier::Changed()
{
    ++changes_;
    idle_.start(IdleMs);
    if (!longest_.isActive() && !overdue_)
        longest_.start(LongestMs);
}

void TRecoveryCopier::Drop()
{
    idle_.stop();
    longest_.stop();
    overdue_ = false;
    Abandon();
    if (written_)
        store_.Remove(number_);
    written_ = false;
}

void TRecoveryCopier::Abandon()
{
    copying_ = false;
    data_.clear();
    data_.shrink_to_fit();
}

void TRecoveryCopier::Start()
{
    if (copying_)
        return;
    idle_.stop();
    longest_.stop();
    if (!editor_.memText->Modified()) {
        Drop();
        return;
    }
    TRecoveryCopy copy;
    copy.Untitled = editor_.Untitled();
    copy.FileName = copy.Untitled ? std::string() : editor_.FileName();
    copy.Caption = editor_.Caption().toStdString();
    copy.DocType = editor_.DocType();
    copy.LineBreak = editor_.memText->LineBreak();
    copy.Stamp = editor_.Disk().TakenStamp();
    copy.Hash = editor_.Disk().TakenHash();
    copy.Pid = QCoreApplication::applicationPid();
    textLength_ = static_cast<std::size_t>(editor_.memText->Length());
    data_ = RecoveryCopyHeader(copy, textLength_);
    textStart_ = data_.size();
    // Room for the text and the check, so the block never moves.
    data_.reserve(textStart_ + textLength_ + 32);
    copyChanges_ = changes_;
    copying_ = true;
    Step(TurnNs);
}

void TRecoveryCopier::Step(qint64 budgetNs)
{
    if (!copying_)
        return;
    if (changes_ != copyChanges_) {
        // Overtaken by an edit: the next quiet moment starts afresh.
        Abandon();
        if (overdue_)
            QTimer::singleShot(0, this, [this] { Start(); });
        return;
    }
    QElapsedTimer turn;
    turn.start();
    while (data_.size() - textStart_ < textLength_ && turn.nsecsElapsed() < budgetNs) {
        const std::size_t copied = data_.size() - textStart_;
        const int length = static_cast<int>(std::min<std::size_t>(SliceSize, textLength_ - copied));
        editor_.memText->AppendRange(static_cast<int>(copied), length, data_);
    }
    if (data_.size() - textStart_ < textLength_) {
        QTimer::singleShot(0, this, [this] { Step(TurnNs); });
        return;
    }
    store_.Write(number_, std::move(data_));
    data_ = std::string();
    copying_ = false;
    overdue_ = false;
    written_ = true;
}

void TRecoveryCopier::WriteNow()
{
    Abandon();
    Start();
    Step(std::numeric_limits<qint64>::max());
}

} // namespace zj
