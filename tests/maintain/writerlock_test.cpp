// The writer lock: one writer per talk file, across objects and documents; across processes it
// is the fault tests' two writers that show it.
#include "talkdata/writerlock.h"

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
