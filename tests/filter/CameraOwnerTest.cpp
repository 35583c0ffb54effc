// The owner of the camera library objects, with cameras that count what is done to them:
// a replaced camera is closed at once and freed exactly once, with the owner, also when it
// is handed back after being replaced.
#include <gtest/gtest.h>

#include "CameraOwner.h"

namespace vyx::test {
namespace {

struct CountingCamera {
    int stops = 0;
    int closes = 0;
    int frees = 0;
    void StopVideoStream() { ++stops; }
    void CloseCamera() { ++closes; }
    void Destory() { ++frees; }
};

TEST(CameraOwner, ReplacedCamerasAreClosedAtOnceAndFreedOnceWithTheOwner) {
    CountingCamera first, second;
    {
        BasicCameraOwner<CountingCamera> owner;
        ASSERT_TRUE(owner.Replace(&first));
        ASSERT_TRUE(owner.Replace(&second));
        EXPECT_EQ(first.closes, 1);
        EXPECT_EQ(first.frees, 0) << "a page may still call it";
        // The page's pointer handed back (ICameraInstance::SetCamera with what GetCamera gave).
        ASSERT_TRUE(owner.Replace(&first));
        EXPECT_EQ(owner.Current(), &first);
        EXPECT_EQ(second.closes, 1);
        ASSERT_TRUE(owner.Replace(&first));  // the same again changes nothing
        ASSERT_TRUE(owner.Replace(nullptr));
        EXPECT_EQ(owner.Current(), nullptr);
    }
    EXPECT_EQ(first.frees, 1);
    EXPECT_EQ(second.frees, 1);
    EXPECT_EQ(first.closes, 2);
}

}  // namespace
}  // namespace vyx::test
