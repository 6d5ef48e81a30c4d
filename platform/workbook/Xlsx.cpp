// .xlsx: the parts are inflated piece by piece with libzip, each piece counted against
// the caps as it comes (a zip bomb stops at the cap, having cost one piece of memory).
// The sheet and the shared strings, the parts that grow with the data, go through
// libxml2's push parser piece by piece, so no part is ever held whole; the small parts
// (workbook, relationships, styles) are read whole, under a cap of their own, with pugixml.
#include <libxml/parser.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
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

// What a part read whole may unpack to: workbook, relationships and styles are small.
constexpr std::uint64_t kMaxWholePart = 32u << 20;

class Package {
public:
    // From the file itself (nothing held but libzip's directory) or from bytes in memory.
    Package(const std::string& path, std::string_view bytes, const Limits& limits) : limits_(limits) {
        zip_error_t err;
        zip_error_init(&err);
        zip_source_t* src = path.empty() ? zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err)
                                         : zip_source_file_create(path.c_str(), 0, -1, &err);
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

    // Hands the part's bytes to `sink` as they are inflated; false when there is no
    // such part. Every piece counts against the caps before it is handed on.
    bool stream(const std::string& name, const std::function<void(const char*, std::size_t)>& sink,
                std::uint64_t cap) {
        const zip_int64_t index = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
        if (index < 0) return false;
        zip_file_t* f = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
        if (!f) {
            zip_stat_t st;
            if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) == 0 &&
                (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
                throw WorkbookError(Problem::PasswordProtected, "the workbook is protected with a password");
            throw WorkbookError(Problem::Damaged, "the workbook is damaged (" + name + ")");
        }
        struct Close {
            zip_file_t* f;
            ~Close() { zip_fclose(f); }
        } close{f};
        std::uint64_t part = 0;
        std::vector<char> buf(1 << 16);
        for (;;) {
            const zip_int64_t n = zip_fread(f, buf.data(), buf.size());
            if (n < 0) throw WorkbookError(Problem::Damaged, "the workbook is damaged (" + name + ")");
            if (n == 0) break;
            part += static_cast<std::uint64_t>(n);
            total_ += static_cast<std::uint64_t>(n);
            if (part > cap || total_ > limits_.maxTotalBytes)
                throw WorkbookError(Problem::TooLarge, "the workbook is too large when unpacked");
            sink(buf.data(), static_cast<std::size_t>(n));
        }
        return true;
    }
    bool stream(const std::string& name, const std::function<void(const char*, std::size_t)>& sink) {
        return stream(name, sink, limits_.maxPartBytes);
    }

    // A small part whole.
    std::optional<std::string> read(const std::string& name) {
        std::string out;
        if (!stream(name, [&](const char* p, std::size_t n) { out.append(p, n); },
                    std::min(limits_.maxPartBytes, kMaxWholePart)))
            return std::nullopt;
        return out;
    }

private:
    zip_t* zip_ = nullptr;
    const Limits& limits_;
    std::uint64_t total_ = 0;
};

// libxml2's push parser with our handler: elements by local name (prefixes differ
// between writers), attributes by local name, text in pieces. A handler's exception
// stops the parser and is thrown again here, never through libxml2's frames. No DTD
// is loaded, no entity but the predefined ones is known, nothing is fetched.
class Sax {
public:
    struct Attr {
        std::string_view name, value;
    };
    struct Handler {
        virtual ~Handler() = default;
        virtual void start(std::string_view name, const std::vector<Attr>& attrs) = 0;
        virtual void end(std::string_view name) = 0;
        virtual void text(std::string_view piece) = 0;
    };

    explicit Sax(Handler& h) : h_(h) {
        static const bool ready = (xmlInitParser(), true);  // once, before any thread parses
        (void)ready;
        xmlSAXHandler sax;
        std::memset(&sax, 0, sizeof sax);
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = &Sax::onStart;
        sax.endElementNs = &Sax::onEnd;
        sax.characters = &Sax::onText;
        sax.cdataBlock = &Sax::onText;
        sax.ignorableWhitespace = &Sax::onText;
        sax.serror = &Sax::onError;  // quiet: the outcome says enough
        ctxt_ = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
        if (!ctxt_) throw std::bad_alloc();
        xmlCtxtUseOptions(ctxt_, XML_PARSE_NONET | XML_PARSE_NOCDATA);
    }
    ~Sax() {
        if (!ctxt_) return;
        if (ctxt_->myDoc) xmlFreeDoc(ctxt_->myDoc);  // made for a DTD, though we keep no tree
        xmlFreeParserCtxt(ctxt_);
    }
    Sax(const Sax&) = delete;
    Sax& operator=(const Sax&) = delete;

    void feed(const char* data, std::size_t size) {
        while (size > 0) {  // xmlParseChunk takes an int
            const int n = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
            xmlParseChunk(ctxt_, data, n, 0);
            check();
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    void finish() {
        xmlParseChunk(ctxt_, nullptr, 0, 1);
        check();
    }

private:
    void check() {
        if (failure_) std::rethrow_exception(failure_);
        if (!ctxt_->wellFormed) throw WorkbookError(Problem::Damaged, "the workbook is damaged (XML: " + why_ + ")");
    }
    static std::string_view local(const xmlChar* name) {
        std::string_view s(reinterpret_cast<const char*>(name));
        const auto colon = s.rfind(':');
        return colon == std::string_view::npos ? s : s.substr(colon + 1);
    }
    template <class F>
    void guarded(F&& f) {
        if (failure_) return;
        try {
            f();
        } catch (...) {
            failure_ = std::current_exception();
            xmlStopParser(ctxt_);
        }
    }
    static void onStart(void* self, const xmlChar* localname, const xmlChar*, const xmlChar*, int, const xmlChar**,
                        int count, int, const xmlChar** attributes) {
        auto* me = static_cast<Sax*>(self);
        me->guarded([&] {
            me->attrs_.clear();
            for (int i = 0; i < count; ++i) {
                const xmlChar* const* a = attributes + 5 * i;  // local name, prefix, URI, value, end
                me->attrs_.push_back({local(a[0]), std::string_view(reinterpret_cast<const char*>(a[3]),
                                                                    static_cast<std::size_t>(a[4] - a[3]))});
            }
            me->h_.start(local(localname), me->attrs_);
        });
    }
    static void onEnd(void* self, const xmlChar* localname, const xmlChar*, const xmlChar*) {
        auto* me = static_cast<Sax*>(self);
        me->guarded([&] { me->h_.end(local(localname)); });
    }
    static void onText(void* self, const xmlChar* ch, int len) {
        auto* me = static_cast<Sax*>(self);
        me->guarded([&] {
            me->h_.text(std::string_view(reinterpret_cast<const char*>(ch), static_cast<std::size_t>(len)));
        });
    }
    static void onError(void* self, xmlErrorPtr e) {
        auto* me = static_cast<Sax*>(self);
        if (me && me->why_.empty() && e && e->message) {
            me->why_ = e->message;
            while (!me->why_.empty() && me->why_.back() == '\n') me->why_.pop_back();
        }
    }

    Handler& h_;
    xmlParserCtxtPtr ctxt_ = nullptr;
    std::vector<Attr> attrs_;
    std::exception_ptr failure_;
    std::string why_;
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

std::string numberCell(std::string_view s, DateKind kind, bool date1904) {
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
long columnOf(std::string_view ref) {
    long col = 0;
    int letters = 0;
    for (const char c : ref) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) break;
        if (letters++ >= 3) throw WorkbookError(Problem::Damaged, "the workbook is damaged (cell reference)");
        col = col * 26 + ((c | 0x20) - 'a' + 1);
    }
    if (letters == 0) return -1;
    if (col > 16384) throw WorkbookError(Problem::TooLarge, "a cell lies beyond the last column");
    return col - 1;
}

std::string_view attrOf(const std::vector<Sax::Attr>& attrs, std::string_view name) {
    for (const auto& a : attrs)
        if (a.name == name) return a.value;
    return {};
}
bool hasAttr(const std::vector<Sax::Attr>& attrs, std::string_view name) {
    for (const auto& a : attrs)
        if (a.name == name) return true;
    return false;
}

// The text of a string item (<si> of the shared strings, <is> of a cell): its <t>, or
// the <t> of each rich-text run; phonetic runs (<rPh>) left out.
class ItemText {
public:
    void start(std::string_view name) {
        if (name == "rPh") ++phonetic_;
        else if (name == "t") ++inT_;
    }
    void end(std::string_view name) {
        if (name == "rPh" && phonetic_ > 0) --phonetic_;
        else if (name == "t" && inT_ > 0) --inT_;
    }
    void text(std::string_view piece, std::uint64_t cap) {
        if (inT_ == 0 || phonetic_ > 0) return;
        if (buf_.size() + piece.size() > cap) throw WorkbookError(Problem::TooLarge, "a text of the workbook is too large");
        buf_.append(piece);
    }
    std::string take() {
        std::string out = decodeEscapes(buf_);
        buf_.clear();
        phonetic_ = inT_ = 0;
        return out;
    }

private:
    std::string buf_;
    int phonetic_ = 0, inT_ = 0;
};

// The largest text one cell or string item may hold here (a cell holds 32,767
// characters; this leaves room for escapes and four-byte characters).
constexpr std::uint64_t kMaxItemBytes = 1u << 20;

// The shared strings, packed one after the other in blocks: a million short strings
// take their bytes and a view each, not a string object and an allocation each.
class StringTable {
public:
    void push(std::string_view s) {
        if (s.size() > kBlock) {
            big_.push_back(std::string(s));
            views_.push_back(big_.back());
            return;
        }
        if (blocks_.empty() || used_ + s.size() > kBlock) {
            blocks_.push_back(std::make_unique<char[]>(kBlock));
            used_ = 0;
        }
        char* at = blocks_.back().get() + used_;
        std::memcpy(at, s.data(), s.size());
        used_ += s.size();
        views_.emplace_back(at, s.size());
    }
    std::size_t size() const { return views_.size(); }
    std::string_view operator[](std::size_t i) const { return views_[i]; }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = 0;
    std::deque<std::string> big_;  // longer than a block; a deque keeps them in place
    std::vector<std::string_view> views_;
};

class SharedStrings : public Sax::Handler {
public:
    explicit SharedStrings(StringTable& out) : out_(out) {}
    void start(std::string_view name, const std::vector<Sax::Attr>&) override {
        if (name == "si") {
            inSi_ = true;
            (void)item_.take();
        } else if (inSi_) {
            item_.start(name);
        }
    }
    void end(std::string_view name) override {
        if (name == "si" && inSi_) {
            out_.push(item_.take());
            inSi_ = false;
        } else if (inSi_) {
            item_.end(name);
        }
    }
    void text(std::string_view piece) override {
        if (inSi_) item_.text(piece, kMaxItemBytes);
    }

private:
    StringTable& out_;
    ItemText item_;
    bool inSi_ = false;
};

// The cells of <sheetData>: <row> and <c> with or without references, <v>, <f>, <is>.
class SheetCells : public Sax::Handler {
public:
    SheetCells(SheetBuilder& b, const StringTable& shared, const std::vector<DateKind>& xfKinds,
               bool date1904)
        : b_(b), shared_(shared), xfKinds_(xfKinds), date1904_(date1904) {}

    void start(std::string_view name, const std::vector<Sax::Attr>& attrs) override {
        ++depth_;
        if (!inData_) {
            if (name == "sheetData" && depth_ == 2) inData_ = true;
            return;
        }
        const int level = depth_ - 2;  // 1: row, 2: cell, 3: the cell's parts
        if (level == 1 && name == "row") {
            const auto r = attrOf(attrs, "r");
            if (hasAttr(attrs, "r")) {
                long long n = 0;
                const auto res = std::from_chars(r.data(), r.data() + r.size(), n);
                if (res.ec != std::errc() || n < 1 || n > 1048576)
                    throw WorkbookError(Problem::Damaged, "the workbook is damaged (row number)");
                rowIndex_ = n - 1;
            } else {
                ++rowIndex_;
            }
            if (rowIndex_ < 0 || rowIndex_ >= 1048576)
                throw WorkbookError(Problem::Damaged, "the workbook is damaged (row number)");
            col_ = -1;
            inRow_ = true;
        } else if (level == 2 && inRow_ && name == "c") {
            const long refCol = columnOf(attrOf(attrs, "r"));
            col_ = refCol >= 0 ? refCol : col_ + 1;
            if (col_ >= 16384) throw WorkbookError(Problem::TooLarge, "a cell lies beyond the last column");
            type_ = attrOf(attrs, "t");
            style_ = 0;
            const auto s = attrOf(attrs, "s");
            std::from_chars(s.data(), s.data() + s.size(), style_);
            inCell_ = true;
            hasF_ = hasV_ = inV_ = false;
            inIs_ = 0;
            v_.clear();
            (void)item_.take();
        } else if (inCell_ && level == 3) {
            if (name == "v") {
                inV_ = !hasV_;  // the first <v> counts
                hasV_ = true;
            } else if (name == "f") {
                hasF_ = true;
            } else if (name == "is") {
                inIs_ = depth_;
            }
        } else if (inIs_ && depth_ > inIs_) {
            item_.start(name);
        }
    }

    void end(std::string_view name) override {
        if (inData_) {
            const int level = depth_ - 2;
            if (level == 0) {
                inData_ = false;
            } else if (level == 1) {
                inRow_ = false;
            } else if (level == 2 && inCell_) {
                cell();
                inCell_ = false;
            } else if (inCell_ && level == 3) {
                inV_ = false;
                if (name == "is") inIs_ = 0;
            } else if (inIs_ && depth_ > inIs_) {
                item_.end(name);
            }
        }
        --depth_;
    }

    void text(std::string_view piece) override {
        if (inV_) {
            if (v_.size() + piece.size() > kMaxItemBytes)
                throw WorkbookError(Problem::TooLarge, "a value of the workbook is too large");
            v_.append(piece);
        } else if (inIs_) {
            item_.text(piece, kMaxItemBytes);
        }
    }

private:
    void cell() {
        const auto row = static_cast<std::uint32_t>(rowIndex_), col = static_cast<std::uint32_t>(col_);
        if (type_ == "inlineStr") {
            b_.set(row, col, item_.take());
        } else if (v_.empty()) {
            if (hasF_ && type_ != "str") b_.formulaWithoutValue(row);
        } else if (type_ == "s") {
            std::uint64_t idx = 0;
            const auto res = std::from_chars(v_.data(), v_.data() + v_.size(), idx);
            if (res.ec != std::errc() || idx >= shared_.size())
                throw WorkbookError(Problem::Damaged, "the workbook is damaged (string index)");
            b_.set(row, col, std::string(shared_[idx]));
        } else if (type_ == "str") {
            b_.set(row, col, decodeEscapes(v_));
        } else if (type_ == "b") {
            b_.set(row, col, v_ == "0" ? "FALSE" : "TRUE");
        } else if (type_ == "e") {
            // error values read as empty cells
        } else if (type_ == "d") {
            std::string iso = v_;
            std::replace(iso.begin(), iso.end(), 'T', ' ');
            b_.set(row, col, iso.substr(0, 19));
        } else {
            b_.set(row, col, numberCell(v_, style_ < xfKinds_.size() ? xfKinds_[style_] : DateKind::None, date1904_));
        }
    }

    SheetBuilder& b_;
    const StringTable& shared_;
    const std::vector<DateKind>& xfKinds_;
    const bool date1904_;
    int depth_ = 0;
    bool inData_ = false, inRow_ = false, inCell_ = false, hasF_ = false, hasV_ = false, inV_ = false;
    int inIs_ = 0;  // depth of the cell's <is>, 0 outside
    long long rowIndex_ = -1;
    long col_ = -1;
    std::string type_;
    unsigned style_ = 0;
    std::string v_;
    ItemText item_;
};

// Feeds a part to a handler; false when there is no such part.
bool parse(Package& pkg, const std::string& part, Sax::Handler& h) {
    Sax sax(h);
    if (!pkg.stream(part, [&](const char* p, std::size_t n) { sax.feed(p, n); })) return false;
    sax.finish();
    return true;
}

}  // namespace

Sheet readXlsx(const std::string& path, std::string_view bytes, const std::string& sheetName, const Limits& limits) {
    Package pkg(path, bytes, limits);

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

    StringTable shared;
    std::vector<DateKind> xfKinds;
    for (const auto& [id, rel] : rels) {
        if (endsWith(rel.first, "/sharedStrings")) {
            SharedStrings h(shared);
            parse(pkg, rel.second, h);
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

    SheetBuilder b(limits);
    SheetCells cells(b, shared, xfKinds, date1904);
    if (!parse(pkg, sheetPart, cells)) throw WorkbookError(Problem::Damaged, "the workbook is damaged (sheet part missing)");
    return b.finish();
}

}  // namespace parlix::workbook::detail
