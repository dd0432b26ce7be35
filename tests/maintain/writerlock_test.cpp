// The writer lock: one writer per talk file, across objects, documents and processes.
#include "talkdata/writerlock.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tests/maintain/maintainfixture.h"

namespace vox::test {
namespace {

class WriterLockTest : public DocumentFixture {
  protected:
    void SetUp() override { Write(SampleDatabase()); }
};

TEST_F(WriterLockTest, ASecondLockOnTheSameFileIsRefusedUntilTheFirstIsReleased) {
    WriterLock first;
    WriterLock second;
    ASSERT_TRUE(first.Acquire(talk_)) << first.GetError();
    EXPECT_TRUE(first.IsHeld());
    EXPECT_FALSE(second.Acquire(talk_));
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(second.GetError(), WriterLock::kHeldElsewhere);
    // Asking again for the file it holds is no conflict with itself.
    EXPECT_TRUE(first.Acquire(talk_));
    first.Release();
    EXPECT_FALSE(first.IsHeld());
    EXPECT_TRUE(second.Acquire(talk_)) << second.GetError();
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
    EXPECT_TRUE(probe.Acquire(talk_)) << "the lock on the first file was kept";
}

TEST_F(WriterLockTest, MissingFilesAndFoldersAreRefusedWithTheirReason) {
    WriterLock lock;
    EXPECT_FALSE(lock.Acquire(dir_.File("none.vox")));
    EXPECT_EQ(lock.GetError(), "No such file or directory");
    EXPECT_FALSE(lock.Acquire(dir_.Path()));
    EXPECT_EQ(lock.GetError(), "not a regular file");
    EXPECT_FALSE(lock.IsHeld());
}

TEST_F(WriterLockTest, AnotherProcessIsRefusedWhileTheLockIsHeld) {
    WriterLock lock;
    ASSERT_TRUE(lock.Acquire(talk_));
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
    lock.Release();
    EXPECT_EQ(tryInChild(), 0);
}

TEST_F(WriterLockTest, AReplacementLockedBeforeItsRenameKeepsTheNameLocked) {
    WriterLock lock;
    ASSERT_TRUE(lock.Acquire(talk_));
    const std::string replacement = dir_.File("speech.vo$");
    WriteFileBytes(replacement, TalkBytes());
    ASSERT_TRUE(lock.LockReplacement(replacement)) << lock.GetError();
    ASSERT_EQ(std::rename(replacement.c_str(), talk_.c_str()), 0);
    WriterLock other;
    EXPECT_FALSE(other.Acquire(talk_));
    EXPECT_EQ(other.GetError(), WriterLock::kHeldElsewhere);
}

TEST_F(WriterLockTest, ASecondDocumentOpeningForWritingIsRefusedAndReadingIsNot) {
    Open();
    std::unique_ptr<CVoxbenchDoc> second = MakeDocument();
    EXPECT_FALSE(second->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadWrite));
    EXPECT_EQ(second->GetOpenError(), talk_ + ": " + WriterLock::kHeldElsewhere);
    EXPECT_FALSE(second->IsTalkFileOpen());
    EXPECT_TRUE(second->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly))
        << second->GetOpenError();

    // Opening the same file again in the same document keeps the lock it has.
    EXPECT_TRUE(doc_->OnOpenDocument(talk_)) << doc_->GetOpenError();
    doc_->OnCloseDocument();
    EXPECT_TRUE(second->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadWrite))
        << second->GetOpenError();
}

TEST_F(WriterLockTest, ADocumentThatTurnsToReadingGivesItsLockUp) {
    Open();
    EXPECT_TRUE(doc_->GetWriterLock().IsHeld());
    ASSERT_TRUE(doc_->OnOpenDocument(talk_, CVoxbenchDoc::Access::ReadOnly));
    EXPECT_FALSE(doc_->GetWriterLock().IsHeld());
    WriterLock other;
    EXPECT_TRUE(other.Acquire(talk_)) << other.GetError();
}

}  // namespace
}  // namespace vox::test
