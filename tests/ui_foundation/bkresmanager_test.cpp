#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource_folder.h"
#include "resources/resource_ids.h"
#include "ui/bkresmanager.h"

namespace {

TEST(BkResManager, ProgramResourcesComeFirstTheFolderFillsInAndBinaryFilesComeBackWhole) {
    BkResManager::SetResourcePath(nullptr);
    std::string bytes;
    ASSERT_TRUE(BkResManager::LoadResource(IDR_XML_STRING_TABLE, L"xml", bytes));
    EXPECT_NE(bytes.find("<string>"), std::string::npos);
    EXPECT_EQ(bytes.c_str()[bytes.size()], '\0');
    EXPECT_FALSE(BkResManager::LoadResource(9116, L"xml", bytes));   // no folder yet
    EXPECT_TRUE(bytes.empty());

    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(9116, L"xml", "<layout/>"));
    ASSERT_TRUE(folder.Write(IDR_XML_STRING_TABLE, L"xml", "<string><s id=\"1\">file</s></string>"));
    bytes = "stale";
    ASSERT_TRUE(BkResManager::LoadResource(9116, L"xml", bytes));
    EXPECT_EQ(bytes, "<layout/>");
    EXPECT_FALSE(BkResManager::LoadResource(9116, L"png", bytes));   // the type names the extension
    EXPECT_TRUE(bytes.empty());

    ASSERT_TRUE(BkResManager::LoadResource(IDR_XML_STRING_TABLE, L"xml", bytes));
    EXPECT_EQ(bytes.find("file</s>"), std::string::npos);
    std::vector<std::string> sources = BkResManager::LoadAllSources(IDR_XML_STRING_TABLE, L"xml");
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0], bytes);
    EXPECT_EQ(sources[1], "<string><s id=\"1\">file</s></string>");

    // Binary files come back whole; empty ones count as missing.
    std::string image("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    image.append(70000, '\xAB');
    ASSERT_TRUE(folder.Write(201, L"png", image));
    ASSERT_TRUE(folder.Write(9116, L"xml", ""));
    ASSERT_TRUE(BkResManager::LoadResource(201, L"png", bytes));
    EXPECT_EQ(bytes, image);
    bytes = "stale";
    EXPECT_FALSE(BkResManager::LoadResource(9116, L"xml", bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST(BkResManager, LookupsThatCannotNameAResourceFail) {
    ResourceFolder folder;
    std::string bytes;
    // Resource ids are 16-bit: a larger number is not silently cut to another id.
    EXPECT_FALSE(BkResManager::LoadFromModule(0x10000 + IDR_XML_STRING_TABLE, L"xml", bytes));
    EXPECT_FALSE(BkResManager::LoadResource(IDR_XML_STRING_TABLE, nullptr, bytes));
    EXPECT_TRUE(BkResManager::LoadAllSources(9999, L"xml").empty());
    // A folder that does not exist behaves as an absent file.
    BkResManager::SetResourcePath((folder.Path() + L"\\missing").c_str());
    EXPECT_FALSE(BkResManager::LoadResource(9116, L"xml", bytes));
}

} // namespace
