// What the simulated modem's network does: a submitted message (PDU or text mode) is
// logged and answered, with its status reports in the "SR" store; incoming messages
// are injected into the "SM" store; both are announced by unsolicited +CDSI / +CMTI
// as AT+CNMI asks.
#include "tools/modemsim/Modem.h"
#include "tools/modemsim/ModemInternal.h"

#include <algorithm>

namespace modemsim {

namespace {

std::string isoTime(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char b[32];
  std::strftime(b, sizeof b, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return b;
}

}  // namespace

void Modem::finishBody(bool send) {
  Input was = input_;
  input_ = Input::Command;
  std::string body = body_;
  body_.clear();
  io_.log("<<", printable(body) + (send ? "<SUB>" : "<ESC>"));
  if (!send) {
    answer(kOk);
    return;
  }
  // The network's answer: late when cmgs-delay says so, the +CMGS line and its OK
  // apart when ok-gap does.
  std::string result = s_.creg != 1 && s_.creg != 5 ? cmsError(331)
                       : was == Input::PduBody      ? cmgs(body)
                                                    : cmgsText(body);
  const size_t ok = result.find(kOk);
  if (ok == std::string::npos || ok == 0) answer("", result, s_.cmgsDelayMs);
  else answer(result.substr(0, ok), result.substr(ok), s_.cmgsDelayMs);
}

std::string Modem::cmgs(const std::string& body) {
  int length = 0;
  toInt(bodyTarget_, length);
  std::string error;
  auto submit = decodeSubmit(trim(body), length, error);
  if (!submit) {
    io_.log("--", "refused PDU: " + error);
    return cmsError(304);
  }
  return submitted("pdu", submit->da, submit->ud, submit->dcs, submit->reportRequested,
                   upper(trim(body)));
}

std::string Modem::cmgsText(const std::string& body) {
  std::vector<bool> q;
  auto a = splitArgs(bodyTarget_, &q);
  Address da = parseAddress(a[0]);
  int toda = 0;
  if (a.size() > 1 && toInt(a[1], toda) && toda == 145) da.toa = 145;
  int dcs = csmp_[3];
  UserData ud;
  ud.coding = codingOfDcs(dcs);
  if (ud.coding == Coding::Gsm7) {
    auto text = teDecode(body);
    if (!text) return cmsError(305);
    ud.text = *text;
    ud.length = static_cast<int>(toSeptets(toU32(*text)).size());
    if (ud.length > 160) return cmsError(305);
  } else {
    auto raw = fromHex(body);
    if (!raw || raw->size() > 140) return cmsError(305);
    ud.text = ud.coding == Coding::Ucs2 ? toUtf8(fromUcs2(*raw)) : toHex(*raw);
    ud.length = static_cast<int>(raw->size());
  }
  return submitted("text", da, ud, dcs, (csmp_[0] & 0x20) != 0, "");
}

std::string Modem::submitted(const std::string& mode, const Address& da, const UserData& ud,
                             int dcs, bool report, const std::string& pdu) {
  if (s_.refuse != 0) {
    if (s_.refuse > 0) --s_.refuse;
    io_.log("--", "send refused");
    return cmsError(500);
  }
  int mr = s_.nextMr;
  s_.nextMr = (mr + 1) % 256;
  std::time_t now = io_.now();
  std::string j = "{\"n\":" + std::to_string(++sentCount_);
  j += ",\"time\":" + jsonString(isoTime(now));
  j += ",\"mode\":" + jsonString(mode);
  j += ",\"number\":" + jsonString(da.number);
  j += ",\"toa\":" + std::to_string(da.toa);
  j += ",\"text\":" + jsonString(ud.text);
  j += ",\"coding\":" + jsonString(codingName(ud.coding));
  j += ",\"dcs\":" + std::to_string(dcs);
  j += ",\"length\":" + std::to_string(ud.length);
  if (ud.concat) {
    j += ",\"udh\":{\"ref\":" + std::to_string(ud.concat->ref) +
         ",\"total\":" + std::to_string(ud.concat->total) +
         ",\"seq\":" + std::to_string(ud.concat->seq) + "}";
  } else {
    j += ",\"udh\":null";
  }
  j += ",\"report\":" + std::string(report ? "true" : "false");
  j += ",\"mr\":" + std::to_string(mr);
  if (!pdu.empty()) j += ",\"pdu\":" + jsonString(pdu);
  j += "}";
  io_.sent(j);

  std::string urc;
  for (size_t at = 0; report && s_.report != "none" && at <= s_.report.size();) {
    const size_t slash = std::min(s_.report.find('/', at), s_.report.size());
    const std::string one = s_.report.substr(at, slash - at);
    at = slash + 1;
    int idx = freeIndex(sr_);
    if (idx >= 0) {
      Stored m;
      m.kind = Kind::Report;
      m.report.smsc = s_.smsc;
      m.report.mr = mr;
      m.report.ra = da;
      m.report.scts = TimeStamp::local(now);
      m.report.dt = TimeStamp::local(now);
      int st = 0;
      if (one == "failed") st = 48;
      else if (one != "delivered") toInt(one, st);
      m.report.status = st;
      m.pdu = encodeStatusReport(m.report);
      sr_[idx] = m;
      if (indicate(cnmi_[3] == 2)) urc += "\r\n+CDSI: \"SR\"," + std::to_string(idx) + "\r\n";
    } else {
      io_.log("--", "status report store full, report dropped");
    }
  }
  return "\r\n+CMGS: " + std::to_string(mr) + "\r\n" + kOk + urc;
}

int Modem::inject(const Injection& inj, std::string& error) {
  if (inj.number.empty()) {
    error = "number missing";
    return -1;
  }
  Deliver d;
  d.smsc = inj.smsc.empty() ? s_.smsc : inj.smsc;
  d.oa = parseAddress(inj.number);
  d.dcs = dcsFor(inj.text, inj.coding);
  d.scts = inj.scts ? *inj.scts : TimeStamp::local(io_.now());
  d.concat = inj.concat;
  d.text = inj.text;
  size_t header = inj.concat ? 6 : 0;
  Coding c = codingOfDcs(d.dcs);
  bool fits = c == Coding::Gsm7 ? (header * 8 + 6) / 7 + toSeptets(toU32(inj.text)).size() <= 160
              : c == Coding::Ucs2 ? header + toUcs2(toU32(inj.text)).size() <= 140
                                  : header + inj.text.size() / 2 <= 140;
  if (!fits) {
    error = "text too long for one message";
    return -1;
  }
  if (c == Coding::Data8 && !fromHex(inj.text)) {
    error = "8-bit data must be given as hex digits";
    return -1;
  }
  return injectPdu(encodeDeliver(d), inj.read, error);
}

int Modem::injectPdu(const std::string& hex, bool read, std::string& error) {
  if (!fromHex(hex) || hex.size() < 2) {
    error = "not hexadecimal";
    return -1;
  }
  int idx = freeIndex(sm_);
  if (idx < 0) {
    error = "SIM store full";
    return -1;
  }
  Stored m;
  m.read = read;
  m.pdu = upper(hex);
  std::string why;
  m.deliver = decodeDeliver(hex, why);
  if (!m.deliver) io_.log("--", "stored a unit that does not decode: " + why);
  sm_[idx] = m;
  io_.log("--", "message stored at SM " + std::to_string(idx));
  if (indicate(cnmi_[1] == 1) && !dropped_) out("\r\n+CMTI: \"SM\"," + std::to_string(idx) + "\r\n", 0);
  return idx;
}

}  // namespace modemsim
