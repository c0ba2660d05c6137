#include "preview_name.h"

#include <gtest/gtest.h>

TEST(DefaultPreviewPathTest, CutsTheExtensionAsTheDialogDoes) {
    EXPECT_EQ(defaultPreviewPath(L"maps/alpha.v2.ted"), L"maps/alpha.v2.tga");
    EXPECT_EQ(defaultPreviewPath(L"alpha"), L"alpha.tga");
    EXPECT_EQ(defaultPreviewPath(L"maps.d/alpha"), L"maps.d/alpha.tga") << "folder dots are not it";
    EXPECT_EQ(defaultPreviewPath(L"my map.v1 final"), L"my map.v1 final.tga")
        << "a dot followed by a space is no extension";
    EXPECT_EQ(defaultPreviewPath(L"maps/.ted"), L"maps/.tga");
}
