// A directory written beside its place and moved there only when complete,
// so that a failed or interrupted run leaves the directory that was there
// before (or none), never part of a new one.
#pragma once

#include <string>

namespace talvo::tools {

class StagedDirectory {
public:
    // Makes a new directory beside `target` (a symbolic link is followed):
    // TARGET.tmp<process id>. Throws std::runtime_error naming it when it
    // cannot be made.
    explicit StagedDirectory(const std::string& target);
    // Removes the staged directory and what it holds unless committed.
    ~StagedDirectory();
    StagedDirectory(const StagedDirectory&) = delete;
    StagedDirectory& operator=(const StagedDirectory&) = delete;

    const std::string& Path() const { return staged_; }
    // A text (a message) with the staged directory's path put back to the
    // target's.
    std::string AsTarget(std::string text) const;
    // Puts the staged directory in the target's place in one step (an
    // earlier directory there is swapped out, then removed). Throws
    // std::runtime_error when that fails, the earlier directory in place.
    void Commit();

private:
    std::string target_;
    std::string staged_;
    bool committed_ = false;
};

}  // namespace talvo::tools
