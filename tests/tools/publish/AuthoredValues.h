#pragma once
// What an authored document must give back to the reader that reads it: every file as
// listed, and every value verbatim (spaces, quotes and all).

#include <gtest/gtest.h>

#include <string>

#include "Author.h"

inline void ExpectReadBackAsAuthored(const ConfigValues& read,
                                     const publish::AuthorRequest& request,
                                     const std::wstring& linkBase, const std::wstring& linkEnd) {
    ASSERT_EQ(read.parts.size(), request.files.size());
    for (size_t i = 0; i < read.parts.size(); ++i) {
        EXPECT_EQ(read.parts[i].size, request.files[i].size);
        EXPECT_EQ(read.parts[i].md5, request.files[i].md5);
        EXPECT_EQ(read.parts[i].link, linkBase + std::to_wstring(i) + linkEnd);
    }
    const ConfigValues& v = request.values;
    for (auto field :
         {&ConfigValues::gameName, &ConfigValues::gameVersion, &ConfigValues::gameStart,
          &ConfigValues::quilletInstallTip, &ConfigValues::textPromotionTitle,
          &ConfigValues::textPromotionLink, &ConfigValues::cancelDownloadTips,
          &ConfigValues::embedLink2, &ConfigValues::skinLink, &ConfigValues::quilletDownloaderLink,
          &ConfigValues::safeCheck, &ConfigValues::newVersion})
        EXPECT_EQ(read.*field, v.*field);
}
