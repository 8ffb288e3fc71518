#pragma once
// The update server's index files: a zlib stream holding INI text. A top
// index "index<token>.dat" either lists sub-indexes ([info] c, p<i>, m<i>) or
// is a leaf whose sections describe one file each.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "module/ini_file.h"

constexpr uint32_t PRODUCT_ID_ZELK = 90010;
constexpr uint32_t PRODUCT_ID_ZOPH = 90011;
constexpr uint32_t PRODUCT_ID_PLIMET = 90012;
constexpr uint32_t PRODUCT_ID_LUMSEK = 90013;

// "zelk", "zoph", "plimet", "lumsek"; empty for any other id.
std::wstring ChannelToken(uint32_t productId);
// "/lumsek/update/<token>/" on the update server.
std::wstring ChannelBasePath(const std::wstring& token);
// "index<token>.dat" and "index<token>.txt".
std::wstring TopIndexRemoteName(const std::wstring& token);
std::wstring TopIndexLocalName(const std::wstring& token);
constexpr const wchar_t* kSubIndexRemoteName = L"index.dat";
constexpr const wchar_t* kSubIndexLocalName = L"index.txt";

// Entry states as the update worker moves them on.
enum UpdateEntryStatus : uint32_t {
    UES_NEW = 0,
    UES_DOWNLOADED = 1,
    UES_DOWNLOAD_FAILED = 2,
    UES_REPLACED = 3,
    UES_REPLACED_AT_REBOOT = 4,
    UES_REPLACE_FAILED = 5,
};

// Check modes ("CV").
constexpr uint32_t CHECK_VERSION_THEN_CRC = 0;
constexpr uint32_t CHECK_CRC_ONLY = 3;

// One file of a leaf index.
struct CUpdateEntry {
    std::wstring FileName;        // FN: local file name
    std::wstring ServerFileName;  // SFN: server name, also the unpacked file's check value
    std::wstring RemotePath;      // index sub path + RP
    std::wstring LocalFolder;     // LP after the "%P\...%" rule
    std::wstring Destination;     // LP + "\" + FN, or FN
    std::wstring Version;         // Ver
    std::wstring SubPath;         // sub path of the index that lists the file
    std::wstring StagedPath;      // set once downloaded
    uint32_t Crc = 0;             // C: zlib CRC-32 of the installed file
    uint32_t FileSize = 0;        // FS (not used)
    uint32_t ServerFileSize = 0;  // SFS (not used)
    uint32_t CheckMode = CHECK_CRC_ONLY;  // CV
    uint32_t Status = UES_NEW;
    uint32_t ReplaceAtRestart = 0;        // UR
};

// One sub-index listed by [info].
struct UpdateSubIndex {
    uint32_t Number = 0;       // i of p<i> and m<i>
    std::wstring Path;         // p<i>, relative, "/" separators
    std::wstring CheckValue;   // m<i>
};

// [info] c above 0: the index lists sub-indexes and its file sections are
// not read.
bool IsSubIndexList(const CIniFile& index);
// The sub-indexes i < c whose p<i> and m<i> are both present and non-empty,
// in the order of i. A path that is rooted, holds a drive colon or a ".."
// part would leave the staging folder and is left out.
std::vector<UpdateSubIndex> ReadSubIndexes(const CIniFile& index);

// True when a listed sub-index (i < c, p<i> and m<i> present) has a path
// that names the index itself or an ancestor ("./", "../", "a/../"): walking
// it would never end.
bool ListsSelfOrAncestor(const CIniFile& index);

// The "LP" rule: "" or a value not wrapped in "%" stays as it is; "%P\x%"
// gives "x"; any other "%...%" value answers false (the entry is skipped).
bool ApplyLocalFolderRule(const std::wstring& value, std::wstring& folder);

// The file entries of a leaf: every section but "COMMENT", in the order of
// section names, with the index's sub path. Entries without a file or
// server name, or whose destination is rooted, names a drive or climbs out
// with "..", are left out: the updater must only write below its folder.
std::vector<CUpdateEntry> ReadUpdateEntries(const CIniFile& index);

// A relative path that stays below its starting folder: not rooted, no
// drive or stream colon, no ".." part. Both "\" and "/" separate.
bool IsContainedRelativePath(const std::wstring& path);

// Unpacks a zlib stream into at most 64 MiB (the output buffer starts at
// 1 MiB and doubles while it is too small). False for damaged data.
bool UnpackBuffer(const void* packed, size_t count, std::string& text);
// Unpacks the file `packedPath` into `textPath` (created or replaced); true
// only when every byte was written. A partly written text file is removed.
bool UnpackFile(const wchar_t* textPath, const wchar_t* packedPath);
