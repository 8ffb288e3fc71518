#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource_folder.h"
#include "resources/resource_ids.h"
#include "ui/bkresmanager.h"

namespace {

const char kLayout[] = "<layout><body/></layout>";

TEST(BkResManager, ProgramResourcesAreFoundWithoutAFolder)
{
    BkResManager::SetResourcePath(nullptr);
    std::string bytes;
    ASSERT_TRUE(BkResManager::LoadResource(IDR_XML_STRING_TABLE, L"xml", bytes));
    EXPECT_NE(bytes.find("<string>"), std::string::npos);
    EXPECT_EQ(bytes.c_str()[bytes.size()], '\0');

    // Before the folder is set only built-in resources are found.
    EXPECT_FALSE(BkResManager::LoadResource(116, L"xml", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_TRUE(BkResManager::FilePath(116, L"xml").empty());
}

TEST(BkResManager, FileInTheFolderStandsInForAMissingResource)
{
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(116, L"xml", kLayout));
    EXPECT_EQ(BkResManager::FilePath(116, L"xml"), folder.Path() + L"\\116.xml");

    std::string bytes = "stale";
    ASSERT_TRUE(BkResManager::LoadResource(116, L"xml", bytes));
    EXPECT_EQ(bytes, kLayout);

    // The type names the extension: 116.png is another file.
    EXPECT_FALSE(BkResManager::LoadResource(116, L"png", bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST(BkResManager, BinaryFilesComeBackWhole)
{
    ResourceFolder folder;
    std::string image("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    image.append(70000, '\xAB');
    ASSERT_TRUE(folder.Write(201, L"png", image));
    std::string bytes;
    ASSERT_TRUE(BkResManager::LoadResource(201, L"png", bytes));
    EXPECT_EQ(bytes.size(), image.size());
    EXPECT_EQ(bytes, image);
}

TEST(BkResManager, EmptyFileCountsAsMissing)
{
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(116, L"xml", ""));
    std::string bytes = "stale";
    EXPECT_FALSE(BkResManager::LoadResource(116, L"xml", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(BkResManager::LoadFromFile(116, L"xml", bytes));
}

TEST(BkResManager, ProgramResourceWinsOverTheFile)
{
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(IDR_XML_STRING_TABLE, L"xml", "<string><s id=\"1\">file</s></string>"));

    std::string bytes;
    ASSERT_TRUE(BkResManager::LoadResource(IDR_XML_STRING_TABLE, L"xml", bytes));
    EXPECT_EQ(bytes.find("file</s>"), std::string::npos);

    std::string fromModule, fromFile;
    ASSERT_TRUE(BkResManager::LoadFromModule(IDR_XML_STRING_TABLE, L"xml", fromModule));
    ASSERT_TRUE(BkResManager::LoadFromFile(IDR_XML_STRING_TABLE, L"xml", fromFile));
    EXPECT_EQ(bytes, fromModule);

    std::vector<std::string> sources = BkResManager::LoadAllSources(IDR_XML_STRING_TABLE, L"xml");
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0], fromModule);
    EXPECT_EQ(sources[1], fromFile);
}

TEST(BkResManager, LookupsThatCannotNameAResourceFail)
{
    ResourceFolder folder;
    std::string bytes;
    // Resource ids are 16-bit: a larger number is not silently cut to another id.
    EXPECT_FALSE(BkResManager::LoadFromModule(0x10000 + IDR_XML_STRING_TABLE, L"xml", bytes));
    EXPECT_FALSE(BkResManager::LoadResource(IDR_XML_STRING_TABLE, nullptr, bytes));
    EXPECT_TRUE(BkResManager::LoadAllSources(9999, L"xml").empty());

    // A folder that does not exist behaves as an absent file.
    BkResManager::SetResourcePath((folder.Path() + L"\\missing").c_str());
    EXPECT_FALSE(BkResManager::LoadResource(116, L"xml", bytes));
}

} // namespace
