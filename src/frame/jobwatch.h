#pragma once

#include "job.h"
#include "messagelist.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zj {

// A job seen from the windows: its output reaches them on the user-interface
// thread as it arrives, a slice at a time so that the windows stay
// responsive however fast it comes, and is read into its message list on the
// way; then its end, once.
class TJobWatch : public QObject {
public:
    struct THandlers {
        std::function<void(const TJobPiece& piece)> Output;
        // Called last; the handler may destroy the watch.
        std::function<void(const TJobEnd& end)> Ended;
    };

    // Starts the job as TJob does, raising its errors.
    TJobWatch(const std::string& program, const std::vector<std::string>& args, const TJobOptions& options,
              std::shared_ptr<TMessageList> messages, THandlers handlers);
    ~TJobWatch() override;

    TJob& Job() { return *job_; }
    const std::shared_ptr<TMessageList>& Messages() const { return messages_; }
    // Typed input: to the program, and into the output's lines as the
    // console shows it.
    void Input(const std::string& bytes);

    // How much output one turn of the event loop takes at most.
    static constexpr std::size_t SliceBytes = 512u << 10;

private:
    void Drain();

    std::shared_ptr<TMessageList> messages_;
    THandlers handlers_;
    bool ended_ = false;
    std::vector<TJobPiece> pieces_;
    // Last: its thread wakes the watch until it is gone.
    std::unique_ptr<TJob> job_;
};

} // namespace zj
