/* Orbelle ImageMan OCX: its TIFF reader and writer. Pages keep the coding they were read
   in; a save rebuilds the whole file, little-endian, from the pages read and the new one. */
#include "vendor_imocx32.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_FILE_BYTES (512u * 1024u * 1024u)
#define MAX_PAGES 65535u /* what PageNumber can count */
#define MAX_STRIPS 65536u
#define WRITE_PIECE 4096u

enum { TypeShort = 3, TypeLong = 4, TypeRational = 5 };

typedef struct TiffFile {
    const unsigned char* bytes;
    size_t size;
    int bigEndian;
} TiffFile;

/* Where an entry's values are, once checked to lie inside the file. */
typedef struct Entry {
    uint16_t tag, type;
    uint32_t count;
    size_t at;
} Entry;

static void SetProblem(char* problem, const char* text)
{
    snprintf(problem, ORB_PROBLEM_SIZE, "%s", text);
}

static uint32_t Get16(const TiffFile* file, size_t at)
{
    const unsigned char* p = file->bytes + at;
    return file->bigEndian ? (uint32_t)(p[0] << 8 | p[1]) : (uint32_t)(p[1] << 8 | p[0]);
}

static uint32_t Get32(const TiffFile* file, size_t at)
{
    const unsigned char* p = file->bytes + at;
    if (file->bigEndian)
        return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
    return (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

static BOOL LocateEntry(const TiffFile* file, size_t entry, Entry* out)
{
    uint64_t unit, bytes;
    out->tag = (uint16_t)Get16(file, entry);
    out->type = (uint16_t)Get16(file, entry + 2);
    out->count = Get32(file, entry + 4);
    switch (out->type) {
    case TypeShort:
        unit = 2;
        break;
    case TypeLong:
        unit = 4;
        break;
    case TypeRational:
        unit = 8;
        break;
    default:
        return FALSE;
    }
    bytes = unit * out->count;
    if (out->count == 0)
        return FALSE;
    if (bytes <= 4) {
        out->at = entry + 8;
        return TRUE;
    }
    out->at = Get32(file, entry + 8);
    return out->at <= file->size && bytes <= file->size - out->at;
}

static BOOL EntryNumber(const TiffFile* file, const Entry* entry, uint32_t index, uint32_t* value)
{
    if (index >= entry->count)
        return FALSE;
    if (entry->type == TypeShort)
        *value = Get16(file, entry->at + 2 * (size_t)index);
    else if (entry->type == TypeLong)
        *value = Get32(file, entry->at + 4 * (size_t)index);
    else
        return FALSE;
    return TRUE;
}

/* The page directory at ifd holds this many entries and fits in the file, or 0. */
static uint32_t DirectoryEntries(const TiffFile* file, uint32_t ifd)
{
    uint32_t entries;
    if (ifd < 8 || file->size < 2 || ifd > file->size - 2)
        return 0;
    entries = Get16(file, ifd);
    if ((uint64_t)ifd + 2 + 12 * (uint64_t)entries + 4 > file->size)
        return 0;
    return entries;
}

void FreePage(OrbPage* page)
{
    free(page->stripSizes);
    free(page->data);
    memset(page, 0, sizeof *page);
}

/* Reads the page whose directory is at ifd. Its strips are copied out of the file; budget
   is what the file's pages may hold together, so pages that share strips cannot make the
   copies larger than the file. */
static BOOL ReadPage(const TiffFile* file, uint32_t ifd, OrbPage* page, uint64_t* budget,
                     char* problem)
{
    uint32_t entries = DirectoryEntries(file, ifd), i, bits = 1, samples = 1, expected;
    Entry offsets = {0}, counts = {0};
    uint64_t total = 0;
    size_t at;

    memset(page, 0, sizeof *page);
    page->compression = 1;
    page->fillOrder = 1;
    page->resolutionUnit = 2;
    page->rowsPerStrip = 0xFFFFFFFFu;
    if (entries == 0) {
        SetProblem(problem, "a page directory lies outside the file");
        return FALSE;
    }
    for (i = 0; i < entries; ++i) {
        Entry entry;
        uint32_t value = 0;
        at = ifd + 2 + 12 * (size_t)i;
        switch (Get16(file, at)) {
        case 256:
        case 257:
        case 258:
        case 259:
        case 262:
        case 266:
        case 273:
        case 277:
        case 278:
        case 279:
        case 282:
        case 283:
        case 292:
        case 293:
        case 296:
            break;
        case 322:
        case 323:
        case 324:
        case 325:
            SetProblem(problem, "tiled pages are not supported");
            return FALSE;
        default:
            continue;
        }
        if (!LocateEntry(file, at, &entry)) {
            snprintf(problem, ORB_PROBLEM_SIZE, "tag %u is damaged", (unsigned)entry.tag);
            return FALSE;
        }
        if (entry.tag == 282 || entry.tag == 283) {
            uint32_t* resolution = entry.tag == 282 ? page->xResolution : page->yResolution;
            if (entry.type != TypeRational) {
                snprintf(problem, ORB_PROBLEM_SIZE, "tag %u is damaged", (unsigned)entry.tag);
                return FALSE;
            }
            resolution[0] = Get32(file, entry.at);
            resolution[1] = Get32(file, entry.at + 4);
            page->hasResolution |= entry.tag == 282 ? 1 : 2;
            continue;
        }
        if (entry.tag == 273) {
            offsets = entry;
            continue;
        }
        if (entry.tag == 279) {
            counts = entry;
            continue;
        }
        if (!EntryNumber(file, &entry, 0, &value)) {
            snprintf(problem, ORB_PROBLEM_SIZE, "tag %u is damaged", (unsigned)entry.tag);
            return FALSE;
        }
        switch (entry.tag) {
        case 256:
            page->width = value;
            break;
        case 257:
            page->length = value;
            break;
        case 258:
            bits = value;
            break;
        case 259:
            page->compression = (uint16_t)value;
            break;
        case 262:
            page->photometric = (uint16_t)value;
            break;
        case 266:
            page->fillOrder = (uint16_t)value;
            break;
        case 277:
            samples = value;
            break;
        case 278:
            page->rowsPerStrip = value;
            break;
        case 292:
            page->t4Options = value;
            page->hasT4Options = 1;
            break;
        case 293:
            page->t6Options = value;
            page->hasT6Options = 1;
            break;
        case 296:
            page->resolutionUnit = (uint16_t)value;
            break;
        }
    }

    if (page->width == 0 || page->length == 0) {
        SetProblem(problem, "a page has no size");
        return FALSE;
    }
    if (bits != 1 || samples != 1) {
        SetProblem(problem, "only black-and-white pages are supported");
        return FALSE;
    }
    if (page->compression != 1 && page->compression != 2 && page->compression != 3 &&
        page->compression != 4 && page->compression != 32773) {
        snprintf(problem, ORB_PROBLEM_SIZE, "compression %u is not supported",
                 (unsigned)page->compression);
        return FALSE;
    }
    if (page->photometric > 1 || page->fillOrder < 1 || page->fillOrder > 2 ||
        page->rowsPerStrip == 0) {
        SetProblem(problem, "a page has a bad photometric, fill order or rows per strip");
        return FALSE;
    }
    expected =
        page->rowsPerStrip >= page->length
            ? 1
            : (uint32_t)(((uint64_t)page->length + page->rowsPerStrip - 1) / page->rowsPerStrip);
    if (offsets.count == 0 || counts.count != offsets.count || offsets.count != expected ||
        offsets.count > MAX_STRIPS) {
        SetProblem(problem, "a page's strips do not match its size");
        return FALSE;
    }

    page->stripCount = offsets.count;
    page->stripSizes = calloc(page->stripCount, sizeof *page->stripSizes);
    if (!page->stripSizes) {
        SetProblem(problem, "out of memory");
        return FALSE;
    }
    for (i = 0; i < page->stripCount; ++i) {
        uint32_t offset, size;
        if (!EntryNumber(file, &offsets, i, &offset) || !EntryNumber(file, &counts, i, &size) ||
            offset > file->size || size > file->size - offset) {
            SetProblem(problem, "a strip lies outside the file");
            FreePage(page);
            return FALSE;
        }
        page->stripSizes[i] = size;
        total += size;
    }
    if (total > *budget) {
        SetProblem(problem, "the pages hold more data than the file");
        FreePage(page);
        return FALSE;
    }
    page->data = malloc(total ? (size_t)total : 1);
    if (!page->data) {
        SetProblem(problem, "out of memory");
        FreePage(page);
        return FALSE;
    }
    page->dataSize = (size_t)total;
    for (i = 0, at = 0; i < page->stripCount; ++i) {
        uint32_t offset = 0;
        EntryNumber(file, &offsets, i, &offset); /* checked above */
        memcpy(page->data + at, file->bytes + offset, page->stripSizes[i]);
        at += page->stripSizes[i];
    }
    *budget -= total;
    return TRUE;
}

/* Reads the first pages of the file, at most wanted; *count says how many were read. */
static BOOL ReadPages(const unsigned char* bytes, size_t size, uint32_t wanted, OrbPage** pages,
                      uint32_t* count, char* problem)
{
    TiffFile file = {bytes, size, 0};
    uint32_t first, at, found = 0, i;
    uint64_t budget = size;

    *pages = NULL;
    *count = 0;
    if (size < 8 ||
        !((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M'))) {
        SetProblem(problem, "not a TIFF file");
        return FALSE;
    }
    file.bigEndian = bytes[0] == 'M';
    if (Get16(&file, 2) != 42) {
        SetProblem(problem, "not a classic TIFF file");
        return FALSE;
    }
    first = Get32(&file, 4);
    if (first == 0) {
        SetProblem(problem, "the file holds no page");
        return FALSE;
    }
    /* The chain first: a chain of directories that never ends is a loop. */
    for (at = first; at != 0 && found < wanted; ++found) {
        uint32_t entries = DirectoryEntries(&file, at);
        if (found == MAX_PAGES) {
            SetProblem(problem, "the file holds too many pages, or its pages never end");
            return FALSE;
        }
        if (entries == 0) {
            SetProblem(problem, "a page directory lies outside the file");
            return FALSE;
        }
        at = Get32(&file, at + 2 + 12 * (size_t)entries);
    }
    *pages = calloc(found, sizeof **pages);
    if (!*pages) {
        SetProblem(problem, "out of memory");
        return FALSE;
    }
    for (i = 0, at = first; i < found; ++i) {
        if (!ReadPage(&file, at, &(*pages)[i], &budget, problem)) {
            while (i > 0)
                FreePage(&(*pages)[--i]);
            free(*pages);
            *pages = NULL;
            return FALSE;
        }
        at = Get32(&file, at + 2 + 12 * (size_t)DirectoryEntries(&file, at));
    }
    *count = found;
    return TRUE;
}

typedef enum { ReadDone, ReadMissing, ReadFailed } ReadResult;

static ReadResult ReadWhole(const char* path, unsigned char** bytes, size_t* size, char* problem)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    LARGE_INTEGER length;
    size_t done = 0;

    *bytes = NULL;
    *size = 0;
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return ReadMissing;
        snprintf(problem, ORB_PROBLEM_SIZE, "cannot be opened (error %lu)", error);
        return ReadFailed;
    }
    if (!GetFileSizeEx(file, &length) || length.QuadPart > MAX_FILE_BYTES) {
        SetProblem(problem, "too large or its size cannot be read");
        CloseHandle(file);
        return ReadFailed;
    }
    *bytes = malloc(length.QuadPart ? (size_t)length.QuadPart : 1);
    if (!*bytes) {
        SetProblem(problem, "out of memory");
        CloseHandle(file);
        return ReadFailed;
    }
    while (done < (size_t)length.QuadPart) {
        DWORD got = 0;
        if (!ReadFile(file, *bytes + done, (DWORD)((size_t)length.QuadPart - done), &got, NULL) ||
            got == 0) {
            snprintf(problem, ORB_PROBLEM_SIZE, "cannot be read (error %lu)",
                     got == 0 ? (unsigned long)ERROR_HANDLE_EOF : GetLastError());
            free(*bytes);
            *bytes = NULL;
            CloseHandle(file);
            return ReadFailed;
        }
        done += got;
    }
    CloseHandle(file);
    *size = done;
    return ReadDone;
}

BOOL ReadFirstPage(const char* path, OrbPage* page, char* problem)
{
    unsigned char* bytes;
    size_t size;
    OrbPage* pages;
    uint32_t count;
    BOOL read;

    switch (ReadWhole(path, &bytes, &size, problem)) {
    case ReadMissing:
        SetProblem(problem, "file not found");
        return FALSE;
    case ReadFailed:
        return FALSE;
    case ReadDone:
        break;
    }
    read = ReadPages(bytes, size, 1, &pages, &count, problem);
    free(bytes);
    if (!read)
        return FALSE;
    *page = pages[0];
    free(pages);
    return TRUE;
}

static void Put16(unsigned char* p, uint32_t value)
{
    p[0] = (unsigned char)value;
    p[1] = (unsigned char)(value >> 8);
}

static void Put32(unsigned char* p, uint32_t value)
{
    Put16(p, value & 0xFFFF);
    Put16(p + 2, value >> 16);
}

static uint32_t EntryCount(const OrbPage* page)
{
    return 12 + ((page->hasResolution & 1) != 0) + ((page->hasResolution & 2) != 0) +
           (page->hasT4Options != 0) + (page->hasT6Options != 0);
}

static uint64_t PageBytes(const OrbPage* page)
{
    uint64_t bytes = page->dataSize + (page->dataSize & 1) + 16;
    if (page->stripCount > 1)
        bytes += 8 * (uint64_t)page->stripCount;
    return bytes + 2 + 12 * (uint64_t)EntryCount(page) + 4;
}

static unsigned char* PutEntry(unsigned char* p, uint32_t tag, uint32_t type, uint32_t count,
                               uint32_t value)
{
    Put16(p, tag);
    Put16(p + 2, type);
    Put32(p + 4, count);
    if (type == TypeShort && count == 1)
        Put16(p + 8, value);
    else
        Put32(p + 8, value);
    return p + 12;
}

/* The whole file: per page its strips, its resolution and strip arrays, its directory. */
static BOOL BuildFile(const OrbPage* const* pages, uint32_t count, unsigned char** out,
                      size_t* outSize, char* problem)
{
    uint64_t total = 8;
    unsigned char* file;
    size_t at = 8, link = 4;
    uint32_t i, s;

    for (i = 0; i < count; ++i)
        total += PageBytes(pages[i]);
    if (total > 0xFFFFFFFFu) {
        SetProblem(problem, "the file would be too large for TIFF");
        return FALSE;
    }
    file = calloc((size_t)total, 1);
    if (!file) {
        SetProblem(problem, "out of memory");
        return FALSE;
    }
    memcpy(file, "II\x2A\0", 4);
    for (i = 0; i < count; ++i) {
        const OrbPage* page = pages[i];
        uint32_t data = (uint32_t)at, x, y, offsets = 0, counts = 0, next;
        unsigned char* entry;

        memcpy(file + at, page->data, page->dataSize);
        at += page->dataSize + (page->dataSize & 1);
        x = (uint32_t)at;
        Put32(file + at, page->xResolution[0]);
        Put32(file + at + 4, page->xResolution[1]);
        y = (uint32_t)at + 8;
        Put32(file + at + 8, page->yResolution[0]);
        Put32(file + at + 12, page->yResolution[1]);
        at += 16;
        if (page->stripCount > 1) {
            uint32_t place = data;
            offsets = (uint32_t)at;
            counts = offsets + 4 * page->stripCount;
            for (s = 0; s < page->stripCount; ++s) {
                Put32(file + offsets + 4 * (size_t)s, place);
                Put32(file + counts + 4 * (size_t)s, page->stripSizes[s]);
                place += page->stripSizes[s];
            }
            at += 8 * (size_t)page->stripCount;
        } else {
            offsets = data;
            counts = page->stripSizes[0];
        }

        Put32(file + link, (uint32_t)at);
        Put16(file + at, EntryCount(page));
        entry = file + at + 2;
        entry = PutEntry(entry, 256, TypeLong, 1, page->width);
        entry = PutEntry(entry, 257, TypeLong, 1, page->length);
        entry = PutEntry(entry, 258, TypeShort, 1, 1);
        entry = PutEntry(entry, 259, TypeShort, 1, page->compression);
        entry = PutEntry(entry, 262, TypeShort, 1, page->photometric);
        entry = PutEntry(entry, 266, TypeShort, 1, page->fillOrder);
        entry = PutEntry(entry, 273, TypeLong, page->stripCount, offsets);
        entry = PutEntry(entry, 277, TypeShort, 1, 1);
        entry = PutEntry(entry, 278, TypeLong, 1, page->rowsPerStrip);
        entry = PutEntry(entry, 279, TypeLong, page->stripCount, counts);
        if (page->hasResolution & 1)
            entry = PutEntry(entry, 282, TypeRational, 1, x);
        if (page->hasResolution & 2)
            entry = PutEntry(entry, 283, TypeRational, 1, y);
        if (page->hasT4Options)
            entry = PutEntry(entry, 292, TypeLong, 1, page->t4Options);
        if (page->hasT6Options)
            entry = PutEntry(entry, 293, TypeLong, 1, page->t6Options);
        entry = PutEntry(entry, 296, TypeShort, 1, page->resolutionUnit);
        /* PageNumber: this page and how many there are. */
        Put16(entry, 297);
        Put16(entry + 2, TypeShort);
        Put32(entry + 4, 2);
        Put16(entry + 8, i);
        Put16(entry + 10, count);
        entry += 12;
        next = (uint32_t)(entry - file);
        Put32(file + next, 0);
        link = next;
        at = next + 4;
    }
    *out = file;
    *outSize = (size_t)total;
    return TRUE;
}

static BOOL WriteWhole(const char* path, const unsigned char* bytes, size_t size, char* problem)
{
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    size_t done;

    if (file == INVALID_HANDLE_VALUE) {
        snprintf(problem, ORB_PROBLEM_SIZE, "cannot be created (error %lu)", GetLastError());
        return FALSE;
    }
    for (done = 0; done < size;) {
        DWORD piece = (DWORD)(size - done < WRITE_PIECE ? size - done : WRITE_PIECE), written = 0;
        BOOL wrote = WriteFile(file, bytes + done, piece, &written, NULL);
        if (!wrote || written != piece) {
            if (wrote)
                SetProblem(problem, "cannot be written (disk full)");
            else
                snprintf(problem, ORB_PROBLEM_SIZE, "cannot be written (error %lu)",
                         GetLastError());
            CloseHandle(file);
            return FALSE;
        }
        done += piece;
    }
    /* Never flushed: the system's cache writes it back when it likes. */
    if (!CloseHandle(file)) {
        snprintf(problem, ORB_PROBLEM_SIZE, "cannot be closed (error %lu)", GetLastError());
        return FALSE;
    }
    return TRUE;
}

BOOL SavePage(const char* path, const OrbPage* page, BOOL append, char* problem)
{
    OrbPage* old = NULL;
    const OrbPage** all;
    uint32_t oldCount = 0, i;
    unsigned char* bytes = NULL;
    size_t size = 0;
    BOOL done;

    if (append) {
        BOOL read;
        switch (ReadWhole(path, &bytes, &size, problem)) {
        case ReadFailed:
            return FALSE;
        case ReadMissing:
            break;
        case ReadDone:
            read = ReadPages(bytes, size, MAX_PAGES + 1, &old, &oldCount, problem);
            free(bytes);
            if (!read)
                return FALSE;
            break;
        }
    }
    all = oldCount < MAX_PAGES ? calloc(oldCount + 1, sizeof *all) : NULL;
    done = all != NULL;
    if (!done)
        SetProblem(problem,
                   oldCount < MAX_PAGES ? "out of memory" : "the file holds too many pages");
    if (done) {
        for (i = 0; i < oldCount; ++i)
            all[i] = &old[i];
        all[oldCount] = page;
        done = BuildFile(all, oldCount + 1, &bytes, &size, problem);
        free((void*)all);
    }
    for (i = 0; i < oldCount; ++i)
        FreePage(&old[i]);
    free(old);
    if (!done)
        return FALSE;
    done = WriteWhole(path, bytes, size, problem);
    free(bytes);
    return done;
}
