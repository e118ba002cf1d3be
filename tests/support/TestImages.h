#pragma once

// Configurations as the command line's tests write them to files: the built-in defaults, and an
// image's bytes as a .syx file holds them.
#include "ConfigImage.h"

#include <QByteArray>
#include <gtest/gtest.h>

inline vkv::image::ConfigImage defaultImage() {
    vkv::image::ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    return image;
}

inline QByteArray fileBytes(const vkv::image::ConfigImage &image) {
    return QByteArray(reinterpret_cast<const char *>(image.raw()), vkv::image::DumpSize);
}
