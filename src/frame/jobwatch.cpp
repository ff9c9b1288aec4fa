#include "jobwatch.h"

#include <QTimer>

namespace zj {

TJobWatch::TJobWatch(const std::string& program, const std::vector<std::string>& args, const TJobOptions& options,
                     std::shared_ptr<TMessageList> messages, THandlers handlers)
    : messages_(std::move(messages)), handlers_(std::move(handlers))
{
    // Called on the job's thread: the output is taken on this one.
    job_ = std::make_unique<TJob>(program, args, options, [this] {
        QMetaObject::invokeMethod(this, [this] { Drain(); }, Qt::QueuedConnection);
    });
}

TJobWatch::~TJobWatch() = default;

void TJobWatch::Input(const std::string& bytes)
{
    messages_->Append(bytes);
    job_->WriteInput(bytes);
}

void TJobWatch::Drain()
{
    if (ended_)
        return;
    pieces_.clear();
    const bool more = job_->Take(pieces_, SliceBytes);
    for (const TJobPiece& piece : pieces_) {
        messages_->Append(piece.Bytes);
        if (handlers_.Output)
            handlers_.Output(piece);
    }
    if (more) {
        // The rest after the windows have had their turn.
        QTimer::singleShot(0, this, [this] { Drain(); });
        return;
    }
    if (!job_->Finished())
        return;
    ended_ = true;
    messages_->Finish();
    // The handler may end the watch: nothing of it is used afterwards.
    const auto ended = handlers_.Ended;
    if (ended)
        ended(job_->End());
}

} // namespace zj
