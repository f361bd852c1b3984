#include "render/FileIcons.h"

#include "platform/Encoding.h"
#include "resources/Resources.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace zov {

namespace {

namespace fs = std::filesystem;

// Icon themes and sizes in the order they are tried: the desktop's own look
// first, 32 pixels (what the list is laid out for) before the others.
constexpr const char* kThemes[] = {"Adwaita", "hicolor"};
constexpr const char* kSizes[] = {"32x32", "48x48", "24x24", "64x64", "16x16"};
// Anything bigger is not an icon; refusing it keeps a broken theme file from
// costing a large allocation.
constexpr png_uint_32 kMaxIconSide = 512;

// One line of a globs2 file: "weight:type:pattern[:flags]".
struct Glob {
    int weight = 0;
    std::string type;
    std::string pattern;  // lower case unless caseSensitive
    bool caseSensitive = false;
};

// What the shared MIME database and the icon themes have to say, read once
// per process (the files change only when packages are installed).
struct MimeData {
    std::vector<fs::path> dataDirs;  // most important first
    std::vector<Glob> globs;         // in the order read: earlier wins a tie
    std::unordered_map<std::string, std::string> genericIcons;  // type -> icon name
};

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

// $XDG_DATA_DIRS, or its documented default; relative entries are not allowed there.
std::vector<fs::path> DataDirs() {
    const char* value = std::getenv("XDG_DATA_DIRS");
    std::string_view list = value && *value ? value : "/usr/local/share:/usr/share";
    std::vector<fs::path> dirs;
    for (std::string_view entry : Split(list, ':'))
        if (!entry.empty() && entry.front() == '/')
            dirs.emplace_back(entry);
    return dirs;
}

void ReadGlobs(const fs::path& file, std::vector<Glob>& globs) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.front() == '#')
            continue;
        std::vector<std::string_view> fields = Split(line, ':');
        if (fields.size() < 3 || fields[1] == "__NOGLOBS__")
            continue;
        Glob glob;
        glob.weight = std::atoi(std::string(fields[0]).c_str());
        glob.type = fields[1];
        glob.caseSensitive = fields.size() > 3 && fields[3].find("cs") != std::string_view::npos;
        glob.pattern = glob.caseSensitive ? std::string(fields[2]) : AsciiLower(fields[2]);
        globs.push_back(std::move(glob));
    }
}

void ReadGenericIcons(const fs::path& file, std::unordered_map<std::string, std::string>& icons) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::size_t colon = line.find(':');
        if (line.empty() || line.front() == '#' || colon == std::string::npos)
            continue;
        // emplace keeps the entry of the more important folder.
        icons.emplace(line.substr(0, colon), line.substr(colon + 1));
    }
}

const MimeData& Mime() {
    static const MimeData data = [] {
        MimeData d;
        d.dataDirs = DataDirs();
        for (const fs::path& dir : d.dataDirs) {
            ReadGlobs(dir / "mime" / "globs2", d.globs);
            ReadGenericIcons(dir / "mime" / "generic-icons", d.genericIcons);
        }
        return d;
    }();
    return data;
}

// The MIME type of files ending in `extension` (".pdf"); empty when unknown.
std::string MimeType(const MimeData& mime, const std::string& extension) {
    std::string name = "*" + extension;
    std::string lowerName = AsciiLower(name);
    const Glob* best = nullptr;
    for (const Glob& glob : mime.globs)
        if (glob.pattern == (glob.caseSensitive ? name : lowerName) && (!best || glob.weight > best->weight))
            best = &glob;
    return best ? best->type : std::string();
}

// The theme icon names for `type`, most specific first: the type's own icon,
// its generic icon from the database, and the generic icon of its media type
// ("text-x-generic"), which is the database's rule when it names none.
std::vector<std::string> IconNames(const MimeData& mime, const std::string& type) {
    std::vector<std::string> names;
    std::string own = type;
    std::replace(own.begin(), own.end(), '/', '-');
    names.push_back(own);
    if (auto generic = mime.genericIcons.find(type); generic != mime.genericIcons.end())
        names.push_back(generic->second);
    names.push_back(type.substr(0, type.find('/')) + "-x-generic");
    return names;
}

std::optional<fs::path> FindThemeIcon(const MimeData& mime, const std::vector<std::string>& names,
                                      const char* context = "mimetypes", std::span<const char* const> sizes = kSizes) {
    std::error_code error;
    for (const std::string& name : names)
        for (const char* theme : kThemes)
            for (const char* size : sizes)
                for (const fs::path& dir : mime.dataDirs) {
                    fs::path file = dir / "icons" / theme / size / context / (name + ".png");
                    if (fs::is_regular_file(file, error))
                        return file;
                }
    return std::nullopt;
}

// Straight (not premultiplied) 8-bit R, G, B, A, top row first.
// Finishes a read begun with one of libpng's simplified-API openers. The
// decoder in platform/image lays alpha onto white; icons need it kept.
std::optional<RgbaImage> FinishRead(png_image& image, bool begun, png_uint_32 maxSide = kMaxIconSide) {
    if (!begun)
        return std::nullopt;
    if (image.width == 0 || image.height == 0 || image.width > maxSide || image.height > maxSide) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    RgbaImage result;
    result.width = static_cast<std::int32_t>(image.width);
    result.height = static_cast<std::int32_t>(image.height);
    result.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.rgba.data(), 0, nullptr)) {
        png_image_free(&image);  // a no-op when libpng has already let go
        return std::nullopt;
    }
    return result;
}

std::optional<RgbaImage> ReadPngFile(const fs::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    return FinishRead(image, png_image_begin_read_from_file(&image, file.c_str()) != 0);
}

std::optional<RgbaImage> ReadPngMemory(std::span<const std::uint8_t> bytes) {
    return ReadRgbaPng(bytes, kMaxIconSide);
}

// The built-in icon for an extension (lower case) when the theme has none.
const char* BuiltInIconName(const std::string& extension) {
    static const std::unordered_map<std::string, const char*> kTable = {
        {".pdf", "pdf"},
        {".ppt", "presentation"},  {".pptx", "presentation"},
        {".xls", "spreadsheet"},   {".xlsx", "spreadsheet"},
        {".doc", "document"},      {".docx", "document"},
        {".rtf", "text"},          {".txt", "text"},
        {".png", "picture"},       {".jpg", "picture"},      {".jpeg", "picture"}, {".gif", "picture"},
        {".bmp", "picture"},       {".tif", "picture"},      {".tiff", "picture"}, {".jp2", "picture"},
        {".htm", "web"},           {".html", "web"},         {".url", "web"},
        {".dwg", "drawing"},       {".dxf", "drawing"},      {".dwf", "drawing"},  {".jww", "drawing"},
        {".jwc", "drawing"},
        {".cvb", "book"},
    };
    auto found = kTable.find(extension);
    return found != kTable.end() ? found->second : "unknown";
}

std::optional<RgbaImage> BuiltInIcon(const std::string& extension) {
    std::string name = std::string("icons/") + BuiltInIconName(extension) + ".png";
    if (std::optional<RgbaImage> icon = ReadPngMemory(EmbeddedResource(name)))
        return icon;
    return ReadPngMemory(EmbeddedResource("icons/unknown.png"));
}

std::uint32_t Blend(std::uint32_t over, std::uint32_t under, std::uint32_t alpha) {
    return (over * alpha + under * (255 - alpha) + 127) / 255;
}

// The icon at (w/2, h/2) of a 2w x 2h picture of `background`, alpha blended.
std::unique_ptr<PixelBuffer> Compose(const RgbaImage& icon, std::uint32_t background) {
    std::int32_t width = icon.width * 2, height = icon.height * 2;
    auto bytes = static_cast<std::int64_t>(width) * height * 4;
    auto* block = static_cast<std::uint32_t*>(std::malloc(static_cast<std::size_t>(bytes)));
    if (!block)
        return nullptr;
    auto picture = std::make_unique<PixelBuffer>(width, height);
    picture->AdoptPixels(block, bytes, nullptr);
    std::fill_n(block, picture->PixelCount(), background & 0xFFFFFF);

    std::uint32_t backR = background >> 16 & 0xFF, backG = background >> 8 & 0xFF, backB = background & 0xFF;
    const std::uint8_t* source = icon.rgba.data();
    for (std::int32_t y = 0; y < icon.height; ++y) {
        std::uint32_t* row = picture->Row(y + icon.height / 2) + icon.width / 2;
        for (std::int32_t x = 0; x < icon.width; ++x, source += 4) {
            std::uint32_t alpha = source[3];
            row[x] = Blend(source[0], backR, alpha) << 16 | Blend(source[1], backG, alpha) << 8 |
                     Blend(source[2], backB, alpha);
        }
    }
    return picture;
}

// `icon` brought to side x side: each target pixel averages the source
// pixels it covers, weighted by their alpha so that clear edges add no dark
// fringe; a smaller icon is enlarged by repeating pixels.
RgbaImage Resample(const RgbaImage& icon, std::int32_t side) {
    RgbaImage out;
    out.width = out.height = side;
    out.rgba.assign(static_cast<std::size_t>(side) * side * 4, 0);
    for (std::int32_t y = 0; y < side; ++y)
        for (std::int32_t x = 0; x < side; ++x) {
            const std::int32_t x0 = x * icon.width / side, x1 = std::max(x0 + 1, (x + 1) * icon.width / side);
            const std::int32_t y0 = y * icon.height / side, y1 = std::max(y0 + 1, (y + 1) * icon.height / side);
            std::uint64_t r = 0, g = 0, b = 0, a = 0, n = 0;
            for (std::int32_t sy = y0; sy < y1; ++sy)
                for (std::int32_t sx = x0; sx < x1; ++sx, ++n) {
                    const std::uint8_t* p = &icon.rgba[(static_cast<std::size_t>(sy) * icon.width + sx) * 4];
                    r += std::uint64_t{p[0]} * p[3];
                    g += std::uint64_t{p[1]} * p[3];
                    b += std::uint64_t{p[2]} * p[3];
                    a += p[3];
                }
            std::uint8_t* q = &out.rgba[(static_cast<std::size_t>(y) * side + x) * 4];
            if (a > 0) {
                q[0] = static_cast<std::uint8_t>(r / a);
                q[1] = static_cast<std::uint8_t>(g / a);
                q[2] = static_cast<std::uint8_t>(b / a);
                q[3] = static_cast<std::uint8_t>(a / n);
            }
        }
    return out;
}

}  // namespace

std::optional<RgbaImage> SmallIcon(SmallIconKind kind, std::wstring_view extension, std::int32_t side) {
    if (side <= 0 || side > static_cast<std::int32_t>(kMaxIconSide))
        return std::nullopt;
    // The theme's own small sizes first: they are drawn for it, not scaled.
    static constexpr const char* kSmallSizes[] = {"16x16", "22x22", "24x24", "32x32", "48x48"};
    const MimeData& mime = Mime();
    std::optional<fs::path> file;
    const char* builtIn = "icons/folder.png";
    switch (kind) {
    case SmallIconKind::Folder: file = FindThemeIcon(mime, {"folder"}, "places", kSmallSizes); break;
    case SmallIconKind::OpenFolder:
        file = FindThemeIcon(mime, {"folder-open", "folder"}, "places", kSmallSizes);
        break;
    case SmallIconKind::RemoteFolder:
        file = FindThemeIcon(mime, {"folder-remote", "folder"}, "places", kSmallSizes);
        break;
    case SmallIconKind::Drive: file = FindThemeIcon(mime, {"drive-harddisk"}, "devices", kSmallSizes); break;
    case SmallIconKind::File: {
        std::string ext = ToUtf8(extension);
        if (!ext.empty() && ext.front() != '.')
            ext.insert(ext.begin(), '.');
        if (std::string type = MimeType(mime, ext); !type.empty())
            file = FindThemeIcon(mime, IconNames(mime, type), "mimetypes", kSmallSizes);
        builtIn = nullptr;
        if (!file)
            if (std::optional<RgbaImage> icon = BuiltInIcon(AsciiLower(ext)))
                return Resample(*icon, side);
        break;
    }
    }
    std::optional<RgbaImage> icon;
    if (file)
        icon = ReadPngFile(*file);
    if (!icon && builtIn)
        icon = ReadPngMemory(EmbeddedResource(builtIn));
    if (!icon)
        return std::nullopt;
    return icon->width == side && icon->height == side ? *icon : Resample(*icon, side);
}

std::optional<RgbaImage> ReadRgbaPng(std::span<const std::uint8_t> bytes, std::uint32_t maxSide) {
    if (bytes.empty())
        return std::nullopt;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    return FinishRead(image, png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) != 0, maxSide);
}

std::unique_ptr<PixelBuffer> IconPicture(std::wstring_view extension, std::uint32_t background) {
    std::string ext = ToUtf8(extension);
    if (!ext.empty() && ext.front() != '.')
        ext.insert(ext.begin(), '.');

    const MimeData& mime = Mime();
    std::optional<RgbaImage> icon;
    if (!ext.empty())
        if (std::string type = MimeType(mime, ext); !type.empty())
            if (std::optional<fs::path> file = FindThemeIcon(mime, IconNames(mime, type)))
                icon = ReadPngFile(*file);
    if (!icon)
        icon = BuiltInIcon(AsciiLower(ext));
    if (!icon)
        return nullptr;
    return Compose(*icon, background);
}

}  // namespace zov
