#include "glimagetarget.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <unistd.h>

TEST(ImageTarget, KeepsValidFramesAndWritesThemAsPng) {
    CGLImageTargetqv target(3, 2);
    std::string strError;
    const std::string strPath = "/tmp/viewportkit_test_" + std::to_string(getpid()) + ".png";
    EXPECT_EQ(target.writePng(strPath, strError), 0);
    EXPECT_FALSE(strError.empty());

    std::vector<unsigned char> frame(3 * 2 * 4);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i * 10);
    EXPECT_EQ(target.presentFrame(nullptr, 3, 2), 0);
    EXPECT_EQ(target.presentFrame(frame.data(), 0, 2), 0);
    EXPECT_EQ(target.hasFrame(), 0);
    ASSERT_EQ(target.presentFrame(frame.data(), 3, 2), 1);

    ASSERT_EQ(target.writePng(strPath, strError), 1) << strError;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, strPath.c_str()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> readBack(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, readBack.data(), 0, nullptr));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(readBack, frame);
    std::remove(strPath.c_str());

    EXPECT_EQ(target.writePng("/nonexistent-dir/frame.png", strError), 0);
    EXPECT_NE(strError.find("/nonexistent-dir/frame.png"), std::string::npos);
}
