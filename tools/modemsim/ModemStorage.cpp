// Message storage of the simulated modem: the "SM" and "SR" stores and their
// commands (AT+CPMS, +CMGL, +CMGR, +CMGD), the SIM phonebook (AT+CPBR, +CPBW) and
// the texts between terminal and modem in the character set of AT+CSCS.
#include "tools/modemsim/Modem.h"
#include "tools/modemsim/ModemInternal.h"

namespace modemsim {

namespace {

size_t codePoints(const std::string& s) { return toU32(s).size(); }

}  // namespace

Modem::Store& Modem::store(const std::string& name) { return name == "SR" ? sr_ : sm_; }
const Modem::Store& Modem::store(const std::string& name) const { return name == "SR" ? sr_ : sm_; }

int Modem::freeIndex(const Store& st) const {
  for (int i = s_.indexBase; i <= lastIndex(); ++i)
    if (!st.count(i)) return i;
  return -1;
}

size_t Modem::count(const std::string& name) const { return store(upper(name)).size(); }

void Modem::clear(const std::string& name) { store(upper(name)).clear(); }

std::string Modem::statName(bool read) const {
  if (cmgf_) return read ? "\"REC READ\"" : "\"REC UNREAD\"";
  return read ? "1" : "0";
}

std::optional<std::string> Modem::teDecode(const std::string& bytes) const {
  if (cscs_ == "GSM") {
    std::vector<uint8_t> septets;
    for (unsigned char c : bytes) {
      if (c > 127) return std::nullopt;
      septets.push_back(c);
    }
    return toUtf8(fromSeptets(septets));
  }
  if (cscs_ == "UCS2") {
    auto raw = fromHex(bytes);
    if (!raw) return std::nullopt;
    return toUtf8(fromUcs2(*raw));
  }
  // Valid UTF-8 is taken as such, anything else as Windows-1252: both
  // kinds of terminal program then work without setting AT+CSCS.
  return toUtf8(toU32(bytes));
}

std::string Modem::teEncode(const std::string& utf8) const {
  if (cscs_ == "UCS2") return toHex(toUcs2(toU32(utf8)));
  if (cscs_ == "UTF-8") return utf8;
  if (cscs_ == "GSM") {
    const auto septets = toSeptets(toU32(utf8));
    return std::string(septets.begin(), septets.end());
  }
  return toCp1252(toU32(utf8));
}

std::string Modem::cpms(char op, const std::vector<std::string>& a, std::string& text) {
  if (auto gate = simGateSms(); !gate.empty()) return gate;
  auto counts = [&](const std::string& m) {
    return std::to_string(store(m).size()) + "," + std::to_string(s_.capacity);
  };
  if (op == 't') {
    text += info("+CPMS: (\"SM\",\"SR\"),(\"SM\"),(\"SM\")");
    return "";
  }
  if (op == '?') {
    text += info("+CPMS: " + quoted(mem1_) + "," + counts(mem1_) + "," + quoted(mem2_) + "," +
                 counts(mem2_) + "," + quoted(mem3_) + "," + counts(mem3_));
    return "";
  }
  if (op != '=' || a.empty() || a.size() > 3) return cmsError(302);
  std::vector<std::string> m;
  for (const auto& x : a) m.push_back(upper(x));
  if (m[0] != "SM" && m[0] != "SR") return cmsError(302);
  for (size_t i = 1; i < m.size(); ++i)
    if (m[i] != "SM") return cmsError(302);
  mem1_ = m[0];
  if (m.size() > 1) mem2_ = m[1];
  if (m.size() > 2) mem3_ = m[2];
  text += info("+CPMS: " + counts(mem1_) + "," + counts(mem2_) + "," + counts(mem3_));
  return "";
}

std::string Modem::listEntry(int index, const Stored& m, bool listing) const {
  std::string head = listing ? "+CMGL: " + std::to_string(index) + "," : "+CMGR: ";
  if (cmgf_ == 0) {
    size_t scaOctets = m.pdu.size() >= 2 ? std::stoul(m.pdu.substr(0, 2), nullptr, 16) : 0;
    size_t octets = m.pdu.size() / 2;
    size_t tpdu = octets > scaOctets + 1 ? octets - 1 - scaOctets : 0;
    return "\r\n" + head + statName(m.read) + ",," + std::to_string(tpdu) + "\r\n" + m.pdu;
  }
  if (m.kind == Kind::Report) {
    const auto& r = m.report;
    std::string ra = (r.ra.toa == 0x91 ? "+" : "") + r.ra.number;
    return "\r\n" + head + statName(m.read) + ",6," + std::to_string(r.mr) + "," + quoted(ra) +
           "," + std::to_string(r.ra.toa) + "," + quoted(r.scts.text()) + "," +
           quoted(r.dt.text()) + "," + std::to_string(r.status);
  }
  if (!m.deliver) return "\r\n" + head + statName(m.read) + ",\"\",,\"\"\r\n" + m.pdu;
  const auto& d = *m.deliver;
  std::string oa = (d.d.oa.toa == 0x91 ? "+" : "") + d.d.oa.number;
  std::string data;
  if (d.ud.coding != Coding::Gsm7) {
    // 07.05: 8-bit and UCS-2 data show as hex whatever the character set.
    data = d.ud.coding == Coding::Ucs2 ? toHex(toUcs2(toU32(d.ud.text))) : d.ud.text;
  } else {
    data = teEncode(d.ud.text);
  }
  std::string h = head + statName(m.read) + "," + quoted(oa) + ",," + quoted(d.d.scts.text());
  if (csdh_) {
    if (listing) {
      h += "," + std::to_string(d.d.oa.toa) + "," + std::to_string(d.ud.length);
    } else {
      h += "," + std::to_string(d.d.oa.toa) + "," + std::to_string(d.firstOctet) + "," +
           std::to_string(d.d.pid) + "," + std::to_string(d.d.dcs) + "," + quoted(d.d.smsc) + "," +
           std::to_string(d.smscToa) + "," + std::to_string(d.ud.length);
    }
  }
  return "\r\n" + h + "\r\n" + data;
}

std::string Modem::cmgl(const std::string& args, std::string& text) {
  if (auto gate = simGateSms(); !gate.empty()) return gate;
  std::vector<bool> q;
  auto a = splitArgs(args, &q);
  // In PDU mode <stat> is an integer.
  if (!cmgf_ && !a.empty() && q[0] && !s_.lenient) return kError;
  std::string what = a.empty() ? (cmgf_ ? "REC UNREAD" : "0") : upper(a[0]);
  int stat = -1;
  if (cmgf_) {
    static const char* kNames[] = {"REC UNREAD", "REC READ", "STO UNSENT", "STO SENT", "ALL"};
    for (int i = 0; i < 5; ++i)
      if (what == kNames[i]) stat = i;
  } else if (toInt(what, stat) && (stat < 0 || stat > 4)) {
    stat = -1;
  }
  if (stat < 0) return cmsError(302);
  auto& st = store(mem1_);
  for (auto& [index, m] : st) {
    bool take = stat == 4 || (stat == 0 && !m.read) || (stat == 1 && m.read);
    if (!take) continue;
    text += listEntry(index, m, true) + "\r\n";
    m.read = true;
  }
  return "";
}

std::string Modem::cmgr(const std::string& args, std::string& text) {
  if (auto gate = simGateSms(); !gate.empty()) return gate;
  std::vector<bool> q;
  auto a = splitArgs(args, &q);
  int index;
  if (a.size() == 1 && q[0] && !s_.lenient) return kError;  // <index> is an integer
  if (a.size() != 1 || !toInt(a[0], index)) return cmsError(302);
  auto& st = store(mem1_);
  auto it = st.find(index);
  if (it == st.end()) return cmsError(321);
  text += listEntry(index, it->second, false) + "\r\n";
  it->second.read = true;
  return "";
}

std::string Modem::cmgd(const std::string& args) {
  if (auto gate = simGateSms(); !gate.empty()) return gate;
  std::vector<bool> q;
  auto a = splitArgs(args, &q);
  int index = 0, flag = 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (q[i] && !s_.lenient) return kError;
  if (a.empty() || a.size() > 2 || (!a[0].empty() && !toInt(a[0], index)) ||
      (a.size() == 2 && (!toInt(a[1], flag) || flag < 0 || flag > 4)))
    return cmsError(302);
  auto& st = store(mem1_);
  if (flag == 0) {
    if (index < s_.indexBase || index > lastIndex()) return cmsError(321);
    st.erase(index);
    return "";
  }
  // Nothing unsent or sent is ever stored here, so flags 1..3 all mean "read".
  for (auto it = st.begin(); it != st.end();)
    it = (flag == 4 || it->second.read) ? st.erase(it) : std::next(it);
  return "";
}

std::string Modem::cpbr(const std::vector<std::string>& a, std::string& text) {
  int from, to;
  if (a.empty() || a.size() > 2 || !toInt(a[0], from)) return cmeError(21);
  to = from;
  if (a.size() == 2 && !toInt(a[1], to)) return cmeError(21);
  if (from < 1 || to > kPhonebookSize || to < from) return cmeError(21);
  for (auto it = phonebook_.lower_bound(from); it != phonebook_.end() && it->first <= to; ++it) {
    const auto& [number, nameText] = it->second;
    int type = number.starts_with("+") ? 145 : 129;
    text += info("+CPBR: " + std::to_string(it->first) + "," + quoted(number) + "," +
                 std::to_string(type) + "," + quoted(teEncode(nameText)));
  }
  return "";
}

std::string Modem::cpbw(const std::vector<std::string>& a) {
  int index = 0;
  if (a.empty() || (!a[0].empty() && !toInt(a[0], index))) return cmeError(21);
  if (a.size() == 1) {
    if (index < 1 || index > kPhonebookSize) return cmeError(21);
    phonebook_.erase(index);
    return "";
  }
  if (a[0].empty()) {
    for (index = 1; index <= kPhonebookSize && phonebook_.count(index); ++index) {
    }
    if (index > kPhonebookSize) return cmeError(20);
  }
  if (index < 1 || index > kPhonebookSize) return cmeError(21);
  const std::string& number = a[1];
  auto decoded = teDecode(a.size() > 3 ? a[3] : "");
  if (!decoded) return cmeError(25);
  std::string nameText = *decoded;
  int type = 0;
  if (a.size() > 2 && !a[2].empty() && (!toInt(a[2], type) || type < 128 || type > 255))
    return cmeError(3);
  if (number.size() > static_cast<size_t>(kNumberMax)) return cmeError(26);
  for (char c : number)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '*' && c != '#')
      return cmeError(25);
  if (codePoints(nameText) > static_cast<size_t>(kNameMax)) return cmeError(24);
  phonebook_[index] = {number, nameText};
  return "";
}

}  // namespace modemsim
