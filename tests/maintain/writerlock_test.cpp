// The writer lock: one writer per talk file, across objects, documents and processes.
#include "talkdata/writerlock.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tests/maintain/maintainfixture.h"

namespace vox::test {
namespace {

using WriterLockTest = DocumentFixture;

// Asking again for the file it holds is no conflict with itself; missing files and folders are
// refused with their reason.
TEST_F(WriterLockTest, ASecondLockOnTheSameFileIsRefusedUntilTheFirstIsReleased) {
    WriterLock first;
    WriterLock second;
    ASSERT_TRUE(first.Acquire(talk_)) << first.GetError();
    EXPECT_FALSE(second.Acquire(talk_));
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(second.GetError(), WriterLock::kHeldElsewhere);
    EXPECT_TRUE(first.Acquire(talk_));
    first.Release();
    EXPECT_TRUE(second.Acquire(talk_)) << second.GetError();

    EXPECT_FALSE(first.Acquire(dir_.File("none.vox")));
    EXPECT_EQ(first.GetError(), "No such file or directory");
    EXPECT_FALSE(first.Acquire(dir_.Path()));
    EXPECT_EQ(first.GetError(), "not a regular file");
    EXPECT_FALSE(first.IsHeld());
}

TEST_F(WriterLockTest, MovingToAnotherFileGivesTheFirstUpOnlyOnceTheNewOneIsHeld) {
    const std::string other = dir_.File("other.vox");
    WriteFileBytes(other, {1, 2, 3});
    WriterLock lock;
    WriterLock blocker;
    ASSERT_TRUE(lock.Acquire(talk_));
    ASSERT_TRUE(blocker.Acquire(other));
    EXPECT_FALSE(lock.Acquire(other));  // refused: the old lock stays
    WriterLock probe;
    EXPECT_FALSE(probe.Acquire(talk_));
    blocker.Release();
    ASSERT_TRUE(lock.Acquire(other));
    EXPECT_TRUE(probe.Acquire(talk_)) << "the lock on the first file was given up";
}

// A replacement locked before its rename keeps the name locked, for this process and others.
TEST_F(WriterLockTest, AnotherProcessIsRefusedWhileTheLockIsHeldAlsoThroughARename) {
    WriterLock lock;
    ASSERT_TRUE(lock.Acquire(talk_));
    const std::string replacement = dir_.File("speech.vo$");
    WriteFileBytes(replacement, TalkBytes());
    ASSERT_TRUE(lock.LockReplacement(replacement)) << lock.GetError();
    ASSERT_EQ(std::rename(replacement.c_str(), talk_.c_str()), 0);
    auto tryInChild = [this] {
        const pid_t child = fork();
        if (child == 0) {
            WriterLock theirs;
            const bool got = theirs.Acquire(talk_);
            _exit(got ? 0 : theirs.GetError() == WriterLock::kHeldElsewhere ? 3 : 4);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(tryInChild(), 3);
    WriterLock other;
    EXPECT_FALSE(other.Acquire(talk_));
    lock.Release();
    EXPECT_EQ(tryInChild(), 0);
}

// The same document opening its file again keeps its lock; one that turns to reading, or
// closes, gives it up.
TEST_F(WriterLockTest, ASecondDocumentOpeningForWritingIsRefusedAndReadingIsNot) {
    Open();
    std::unique_ptr<CVoxbenchDoc> second = MakeDocument();
    EXPECT_FALSE(second->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadWrite));
    EXPECT_EQ(second->GetOpenError(), talk_ + ": " + WriterLock::kHeldElsewhere);
    EXPECT_FALSE(second->IsTalkFileOpen());
    EXPECT_TRUE(second->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly))
        << second->GetOpenError();

    EXPECT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
    EXPECT_TRUE(doc_->GetWriterLock().IsHeld());
    ASSERT_TRUE(doc_->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly));
    EXPECT_FALSE(doc_->GetWriterLock().IsHeld());
    EXPECT_TRUE(second->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadWrite))
        << second->GetOpenError();
    second->OnCloseDocument();
    WriterLock other;
    EXPECT_TRUE(other.Acquire(talk_)) << other.GetError();
}

}  // namespace
}  // namespace vox::test
