// The byte lock excludes other descriptors of the same process and never waits.
#include "platform/lock.h"

#include <gtest/gtest.h>

#include "platform/file.h"
#include "recording_ui.h"

using norvel_test::ScratchDir;

TEST(ByteLock, CreatesTheFileEmptyAndLocks) {
  ScratchDir dir;
  std::string path = dir.File("isndxng.dat");
  platform::ByteLock lock;
  ASSERT_TRUE(lock.Open(path));
  EXPECT_TRUE(lock.TryLock());
  platform::FileStatus st;
  ASSERT_TRUE(platform::GetFileStatus(path, &st));
  EXPECT_EQ(st.size, 0u);
}

TEST(ByteLock, ExcludesASecondDescriptorOfTheSameProcess) {
  ScratchDir dir;
  std::string path = dir.File("isndxng.dat");
  platform::ByteLock first, second;
  ASSERT_TRUE(first.Open(path));
  ASSERT_TRUE(second.Open(path));
  ASSERT_TRUE(first.TryLock());
  EXPECT_FALSE(second.TryLock());
  first.Unlock();
  EXPECT_TRUE(second.TryLock());
  EXPECT_FALSE(first.TryLock());
  second.Close();  // closing releases the lock as well
  EXPECT_TRUE(first.TryLock());
}

TEST(ByteLock, UnlockWithoutALockDoesNothing) {
  ScratchDir dir;
  platform::ByteLock lock;
  lock.Unlock();
  ASSERT_TRUE(lock.Open(dir.File("isndxng.dat")));
  lock.Unlock();
  EXPECT_TRUE(lock.TryLock());
}

TEST(ByteLock, SharedLocksOfOneByteAdmitEachOtherAndKeepAnExclusiveOneOut) {
  ScratchDir dir;
  std::string path = dir.File("ndxlock.dat");
  platform::ByteLock reader1, reader2, swapper;
  ASSERT_TRUE(reader1.Open(path));
  ASSERT_TRUE(reader2.OpenExisting(path));  // read-only: enough for a shared lock
  ASSERT_TRUE(swapper.Open(path));
  ASSERT_TRUE(swapper.TryLock());  // byte 0 does not touch byte 1
  ASSERT_TRUE(reader1.TryLockByte(1, true));
  ASSERT_TRUE(reader2.TryLockByte(1, true));
  EXPECT_FALSE(swapper.TryLockByte(1, false));
  reader1.UnlockByte(1);
  EXPECT_FALSE(swapper.TryLockByte(1, false));
  reader2.Close();
  ASSERT_TRUE(swapper.TryLockByte(1, false));
  EXPECT_FALSE(reader1.TryLockByte(1, true));
}
