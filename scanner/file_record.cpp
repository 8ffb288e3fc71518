#include "scanner/file_record.h"

#include <cstring>

#include "scanner/ntfs_volume.h"

namespace scanner {
namespace {

template <typename T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

} // namespace

bool FileRecord::Attach(const uint8_t* record, size_t size) {
    data_ = nullptr;
    header_ = nullptr;
    malformed_ = false;
    if (!record || size < sizeof(ntfs::FileRecordHeader)) return false;
    auto* h = reinterpret_cast<const ntfs::FileRecordHeader*>(record);
    if (h->magic != ntfs::kFileMagic) return false;
    size_t limit = h->bytesInUse < size ? h->bytesInUse : size;
    if (h->attributesOffset < 0x28 || h->attributesOffset >= limit) return false;
    data_ = record;
    header_ = h;
    limit_ = limit;
    return true;
}

const ntfs::AttributeHeader* FileRecord::At(size_t offset) {
    if (offset > limit_ || limit_ - offset < sizeof(uint32_t)) {
        // No room even for the end marker: the record was cut short.
        malformed_ = true;
        return nullptr;
    }
    if (Load<uint32_t>(data_ + offset) == ntfs::kAttrEnd) return nullptr;
    if (limit_ - offset < sizeof(ntfs::AttributeHeader)) {
        malformed_ = true;
        return nullptr;
    }
    auto* a = reinterpret_cast<const ntfs::AttributeHeader*>(data_ + offset);
    if (a->length < sizeof(ntfs::AttributeHeader) || a->length > limit_ - offset || (a->length & 7) != 0) {
        malformed_ = true;
        return nullptr;
    }
    if (a->nameLength && (a->nameOffset > a->length || (a->length - a->nameOffset) / 2 < a->nameLength)) {
        malformed_ = true;
        return nullptr;
    }
    next_ = offset + a->length;
    return a;
}

const ntfs::AttributeHeader* FileRecord::First() {
    if (!header_) return nullptr;
    malformed_ = false;
    return At(header_->attributesOffset);
}

const ntfs::AttributeHeader* FileRecord::Next() {
    if (!header_ || malformed_) return nullptr;
    return At(next_);
}

bool ResidentValue(const ntfs::AttributeHeader* attr, const uint8_t*& value, uint32_t& length) {
    if (attr->nonResident || attr->length < sizeof(ntfs::ResidentAttribute)) return false;
    auto* r = reinterpret_cast<const ntfs::ResidentAttribute*>(attr);
    if (r->valueOffset > attr->length || attr->length - r->valueOffset < r->valueLength) return false;
    value = reinterpret_cast<const uint8_t*>(attr) + r->valueOffset;
    length = r->valueLength;
    return true;
}

const ntfs::NonResidentAttribute* NonResidentHeader(const ntfs::AttributeHeader* attr) {
    if (!attr->nonResident || attr->length < sizeof(ntfs::NonResidentAttribute)) return nullptr;
    auto* n = reinterpret_cast<const ntfs::NonResidentAttribute*>(attr);
    if (n->lowestVcn < 0 || n->dataSize < 0 || n->initializedSize < 0) return nullptr;
    return n;
}

bool MappingPairs(const ntfs::AttributeHeader* attr, const uint8_t*& begin, const uint8_t*& end) {
    const ntfs::NonResidentAttribute* n = NonResidentHeader(attr);
    if (!n || n->mappingPairsOffset < sizeof(ntfs::NonResidentAttribute) ||
        n->mappingPairsOffset >= attr->length) {
        return false;
    }
    begin = reinterpret_cast<const uint8_t*>(attr) + n->mappingPairsOffset;
    end = reinterpret_cast<const uint8_t*>(attr) + attr->length;
    return true;
}

bool IsUnnamed(const ntfs::AttributeHeader* attr) { return attr->nameLength == 0; }

bool ReadAttributeValue(NtfsVolume& volume, const ntfs::AttributeHeader* attr, size_t maxBytes,
                        std::vector<uint8_t>& value) {
    value.clear();
    if (!attr->nonResident) {
        const uint8_t* v = nullptr;
        uint32_t n = 0;
        if (!ResidentValue(attr, v, n) || n > maxBytes) return false;
        value.assign(v, v + n);
        return true;
    }
    const ntfs::NonResidentAttribute* nr = NonResidentHeader(attr);
    const uint8_t *pairs = nullptr, *end = nullptr;
    if (!nr || nr->lowestVcn != 0 || !MappingPairs(attr, pairs, end)) return false;
    if (static_cast<uint64_t>(nr->dataSize) > maxBytes) return false;
    std::vector<DataRun> runs;
    if (!DecodeDataRuns(pairs, end, 0, volume.TotalClusters(), runs)) return false;
    const size_t size = static_cast<size_t>(nr->dataSize);
    value.assign(size, 0);
    const uint64_t cluster = volume.BytesPerCluster();
    for (const DataRun& run : runs) {
        uint64_t from = static_cast<uint64_t>(run.vcn) * cluster;
        if (from >= size) break;
        uint64_t bytes = run.length * cluster;
        if (bytes > size - from) bytes = size - from;
        if (run.lcn == DataRun::kSparse) continue;
        if (!volume.ReadClusterBytes(run.lcn, 0, value.data() + from, static_cast<size_t>(bytes))) return false;
    }
    return true;
}

void ParseAttributeList(const uint8_t* data, size_t size, size_t maxEntries, std::vector<ListEntry>& out) {
    size_t offset = 0;
    while (out.size() < maxEntries && offset < size && size - offset >= sizeof(ntfs::AttributeListEntry)) {
        auto* e = reinterpret_cast<const ntfs::AttributeListEntry*>(data + offset);
        if (e->length < sizeof(ntfs::AttributeListEntry) || e->length > size - offset) return;
        if (e->nameLength && (e->nameOffset > e->length || (e->length - e->nameOffset) / 2 < e->nameLength)) return;
        ListEntry entry;
        entry.type = e->type;
        entry.unnamed = e->nameLength == 0;
        entry.lowestVcn = e->lowestVcn;
        entry.record = ntfs::ReferenceRecord(e->recordReference);
        out.push_back(entry);
        offset += e->length;
    }
}

} // namespace scanner
