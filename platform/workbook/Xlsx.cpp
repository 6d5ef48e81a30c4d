// .xlsx: the parts are read with libzip (sizes capped while inflating, so a zip bomb
// stops at the cap) and parsed with pugixml.
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <pugixml.hpp>

#include "platform/workbook/Internal.h"

namespace parlix::workbook::detail {
namespace {

const char* local(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}
bool is(const pugi::xml_node& n, const char* name) {
    return n.type() == pugi::node_element && std::strcmp(local(n.name()), name) == 0;
}
pugi::xml_node child(const pugi::xml_node& n, const char* name) {
    for (auto c : n.children())
        if (is(c, name)) return c;
    return {};
}
// Attribute by local name (prefixes differ between writers).
pugi::xml_attribute attr(const pugi::xml_node& n, const char* name) {
    for (auto a : n.attributes())
        if (std::strcmp(local(a.name()), name) == 0) return a;
    return {};
}
std::string lowerAscii(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

class Package {
public:
    Package(std::string_view bytes, const Limits& limits) : limits_(limits) {
        zip_error_t err;
        zip_error_init(&err);
        zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err);
        if (src) zip_ = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &err);
        if (!zip_) {
            if (src) zip_source_free(src);
            zip_error_fini(&err);
            throw WorkbookError(Problem::Damaged, "the workbook is damaged (zip)");
        }
        zip_error_fini(&err);
    }
    ~Package() {
        if (zip_) zip_discard(zip_);
    }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    std::optional<std::string> read(const std::string& name) {
        const zip_int64_t index = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
        if (index < 0) return std::nullopt;
        zip_file_t* f = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
        if (!f) {
            zip_stat_t st;
            if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) == 0 &&
                (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
                throw WorkbookError(Problem::PasswordProtected, "the workbook is protected with a password");
            throw WorkbookError(Problem::Damaged, "the workbook is damaged (" + name + ")");
        }
        std::string out;
        char buf[1 << 16];
        for (;;) {
            const zip_int64_t n = zip_fread(f, buf, sizeof buf);
            if (n < 0) {
                zip_fclose(f);
                throw WorkbookError(Problem::Damaged, "the workbook is damaged (" + name + ")");
            }
            if (n == 0) break;
            out.append(buf, static_cast<std::size_t>(n));
            total_ += static_cast<std::uint64_t>(n);
            if (out.size() > limits_.maxPartBytes || total_ > limits_.maxTotalBytes) {
                zip_fclose(f);
                throw WorkbookError(Problem::TooLarge, "the workbook is too large when unpacked");
            }
        }
        zip_fclose(f);
        return out;
    }

private:
    zip_t* zip_ = nullptr;
    const Limits& limits_;
    std::uint64_t total_ = 0;
};

struct Xml {
    std::string text;
    pugi::xml_document doc;
    explicit Xml(std::string t) : text(std::move(t)) {
        const auto r = doc.load_buffer_inplace(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
        if (!r) throw WorkbookError(Problem::Damaged, std::string("the workbook is damaged (XML: ") + r.description() + ")");
    }
};

// "xl/workbook.xml" + "worksheets/sheet1.xml" -> "xl/worksheets/sheet1.xml"
std::string resolve(const std::string& from, const std::string& target) {
    std::vector<std::string> parts;
    std::string base = target.rfind('/', 0) == 0 ? "" : from.substr(0, from.rfind('/') == std::string::npos ? 0 : from.rfind('/'));
    std::string all = base.empty() ? target : base + "/" + target;
    std::size_t at = 0;
    while (at <= all.size()) {
        const auto next = std::min(all.find('/', at), all.size());
        const std::string p = all.substr(at, next - at);
        if (p == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!p.empty() && p != ".") {
            parts.push_back(p);
        }
        at = next + 1;
    }
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : "/") + p;
    return out;
}

std::string relsOf(const std::string& part) {
    const auto slash = part.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    return dir + "_rels/" + part.substr(slash == std::string::npos ? 0 : slash + 1) + ".rels";
}

// Relationship id -> (type, target part)
std::map<std::string, std::pair<std::string, std::string>> readRels(Package& pkg, const std::string& part) {
    std::map<std::string, std::pair<std::string, std::string>> out;
    auto text = pkg.read(relsOf(part));
    if (!text) return out;
    Xml x(std::move(*text));
    for (auto r : x.doc.document_element().children())
        if (is(r, "Relationship"))
            out[r.attribute("Id").value()] = {r.attribute("Type").value(), resolve(part, r.attribute("Target").value())};
    return out;
}

bool endsWith(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Text of a string item: <t>, or the <t> of each rich-text run (phonetic runs left out).
std::string itemText(const pugi::xml_node& si) {
    if (auto t = child(si, "t")) return decodeEscapes(t.child_value());
    std::string out;
    for (auto r : si.children())
        if (is(r, "r"))
            if (auto t = child(r, "t")) out += t.child_value();
    return decodeEscapes(out);
}

std::string numberCell(const char* v, DateKind kind, bool date1904) {
    std::string_view s(v);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (kind == DateKind::None) {
        // Integers as written keep every digit, beyond 2^53 too.
        std::string_view digits = s.substr(!s.empty() && s[0] == '-' ? 1 : 0);
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; })) return "0";
            return std::string(s);
        }
    }
    double d = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), d);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return decodeEscapes(s);  // not a number: keep the text
    return kind == DateKind::None ? numberText(d) : serialText(d, date1904, kind);
}

// Column letters of a reference ("AB12") as a 0-based index; -1 when there are none.
long columnOf(const char* ref) {
    long col = 0;
    int letters = 0;
    for (; *ref && ((*ref >= 'A' && *ref <= 'Z') || (*ref >= 'a' && *ref <= 'z')); ++ref, ++letters) {
        if (letters >= 3) throw WorkbookError(Problem::Damaged, "the workbook is damaged (cell reference)");
        col = col * 26 + ((*ref | 0x20) - 'a' + 1);
    }
    if (letters == 0) return -1;
    if (col > 16384) throw WorkbookError(Problem::TooLarge, "a cell lies beyond the last column");
    return col - 1;
}

}  // namespace

Sheet readXlsx(std::string_view bytes, const std::string& sheetName, const Limits& limits) {
    Package pkg(bytes, limits);

    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, rel] : readRels(pkg, ""))
        if (endsWith(rel.first, "/officeDocument")) workbookPart = rel.second;
    auto wbText = pkg.read(workbookPart);
    if (!wbText) throw WorkbookError(Problem::NotWorkbook, "the file is a zip archive but not an Excel workbook");
    Xml wb(std::move(*wbText));
    const auto wbRoot = wb.doc.document_element();
    bool date1904 = false;
    if (auto pr = child(wbRoot, "workbookPr")) {
        const std::string v = attr(pr, "date1904").value();
        date1904 = v == "1" || v == "true";
    }
    const auto rels = readRels(pkg, workbookPart);
    std::string sheetPart;
    const std::string wanted = lowerAscii(sheetName);
    for (auto s : child(wbRoot, "sheets").children()) {
        if (!is(s, "sheet") || lowerAscii(s.attribute("name").value()) != wanted) continue;
        auto it = rels.find(attr(s, "id").value());
        if (it == rels.end()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (sheet link)");
        sheetPart = it->second.second;
        break;
    }
    if (sheetPart.empty()) throw WorkbookError(Problem::NoSheet, "the workbook has no sheet \"" + sheetName + "\"");

    std::vector<std::string> shared;
    std::vector<DateKind> xfKinds;
    for (const auto& [id, rel] : rels) {
        if (endsWith(rel.first, "/sharedStrings")) {
            if (auto t = pkg.read(rel.second)) {
                Xml x(std::move(*t));
                for (auto si : x.doc.document_element().children())
                    if (is(si, "si")) shared.push_back(itemText(si));
            }
        } else if (endsWith(rel.first, "/styles")) {
            if (auto t = pkg.read(rel.second)) {
                Xml x(std::move(*t));
                const auto root = x.doc.document_element();
                std::map<int, DateKind> custom;
                for (auto f : child(root, "numFmts").children())
                    if (is(f, "numFmt")) custom[f.attribute("numFmtId").as_int()] = classifyFormat(f.attribute("formatCode").value());
                for (auto xf : child(root, "cellXfs").children()) {
                    if (!is(xf, "xf")) continue;
                    const int id = xf.attribute("numFmtId").as_int();
                    auto it = custom.find(id);
                    xfKinds.push_back(it != custom.end() ? it->second : builtinFormatKind(id));
                }
            }
        }
    }

    auto sheetText = pkg.read(sheetPart);
    if (!sheetText) throw WorkbookError(Problem::Damaged, "the workbook is damaged (sheet part missing)");
    Xml sheet(std::move(*sheetText));
    SheetBuilder b(limits);
    long rowIndex = -1;
    for (auto row : child(sheet.doc.document_element(), "sheetData").children()) {
        if (!is(row, "row")) continue;
        const auto r = row.attribute("r");
        rowIndex = r ? r.as_llong() - 1 : rowIndex + 1;
        if (rowIndex < 0 || rowIndex >= 1048576) throw WorkbookError(Problem::Damaged, "the workbook is damaged (row number)");
        long col = -1;
        for (auto c : row.children()) {
            if (!is(c, "c")) continue;
            const auto ref = c.attribute("r");
            const long refCol = ref ? columnOf(ref.value()) : -1;
            col = refCol >= 0 ? refCol : col + 1;
            if (col >= 16384) throw WorkbookError(Problem::TooLarge, "a cell lies beyond the last column");
            const std::string t = c.attribute("t").value();
            const auto v = child(c, "v");
            const char* vText = v.child_value();
            const auto row32 = static_cast<std::uint32_t>(rowIndex), col32 = static_cast<std::uint32_t>(col);
            if (t == "inlineStr") {
                b.set(row32, col32, itemText(child(c, "is")));
            } else if (!*vText) {
                if (child(c, "f") && t != "str") b.formulaWithoutValue(row32);
            } else if (t == "s") {
                const auto idx = std::strtoull(vText, nullptr, 10);
                if (idx >= shared.size()) throw WorkbookError(Problem::Damaged, "the workbook is damaged (string index)");
                b.set(row32, col32, shared[idx]);
            } else if (t == "str") {
                b.set(row32, col32, decodeEscapes(vText));
            } else if (t == "b") {
                b.set(row32, col32, std::strcmp(vText, "0") == 0 ? "FALSE" : "TRUE");
            } else if (t == "e") {
                // error values read as empty cells
            } else if (t == "d") {
                std::string iso = vText;
                std::replace(iso.begin(), iso.end(), 'T', ' ');
                b.set(row32, col32, iso.substr(0, 19));
            } else {
                const auto s = c.attribute("s").as_uint();
                b.set(row32, col32, numberCell(vText, s < xfKinds.size() ? xfKinds[s] : DateKind::None, date1904));
            }
        }
    }
    return b.finish();
}

}  // namespace parlix::workbook::detail
