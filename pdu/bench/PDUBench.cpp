// Encode and decode of typical single units: 160 characters in 7-bit coding (plain,
// and with escape pairs and Greek letters) and 70 characters in UCS-2.
#include <benchmark/benchmark.h>

#include <string>

#include "pdu/PDU.h"

namespace {

std::string text160() {
  std::string s;
  const std::string words = "Meeting moved to 3pm in room 2, bring the Q3 report. ";
  while (s.size() < 160) s += words;
  return s.substr(0, 160);
}

// 160 septets with "€", braces and Greek capitals among the words.
std::string text160Escapes() {
  std::string s;
  const std::string words = "Fee 5\xE2\x82\xAC {room [2]} \xCE\x94\xCE\xA3 ok. ";  // 30 septets
  for (int i = 0; i < 5; ++i) s += words;
  return s + "Thank you!";
}

std::string text70() {
  std::string s;
  for (int i = 0; i < 70; ++i) s += "\xE4\xBD\xA0";  // U+4F60
  return s;
}

std::string encoded(const std::string& text, bool text7 = false) {
  GSM::PDU p;
  p.let_SMSText(text);
  p.let_MSISDN("60123456789");
  if (text7) p.let_TP_DataCode(GSM::DCS::Text);
  p.EncodePDU();
  return p.get_PDU();
}

// The SUBMIT's address and user data, laid out as a received DELIVER.
std::string asDeliver(const std::string& submit) {
  return "07910621436587F9" "04" + submit.substr(6, 16) + submit.substr(22, 4) + "51707041509000" +
         submit.substr(28);
}

void encodeLoop(benchmark::State& state, const std::string& text, bool text7 = false) {
  for (auto _ : state) {
    GSM::PDU p;
    p.let_SMSText(text);
    p.let_MSISDN("60123456789");
    if (text7) p.let_TP_DataCode(GSM::DCS::Text);  // as the modem library sends text
    p.EncodePDU();
    benchmark::DoNotOptimize(p.get_PDU());
  }
  state.SetItemsProcessed(state.iterations());
}

void decodeLoop(benchmark::State& state, const std::string& unit) {
  for (auto _ : state) {
    GSM::PDU p;
    p.let_PDU(unit);
    if (!p.DecodePDU()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(p.get_SMSText());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Encode7Bit160(benchmark::State& state) { encodeLoop(state, text160()); }
void BM_Encode7Bit160Escapes(benchmark::State& state) { encodeLoop(state, text160Escapes(), true); }
void BM_EncodeUCS2_70(benchmark::State& state) { encodeLoop(state, text70()); }
void BM_Decode7Bit160(benchmark::State& state) { decodeLoop(state, asDeliver(encoded(text160()))); }
void BM_Decode7Bit160Escapes(benchmark::State& state) {
  decodeLoop(state, asDeliver(encoded(text160Escapes(), true)));
}
void BM_DecodeUCS2_70(benchmark::State& state) { decodeLoop(state, asDeliver(encoded(text70()))); }

}  // namespace

BENCHMARK(BM_Encode7Bit160);
BENCHMARK(BM_Encode7Bit160Escapes);
BENCHMARK(BM_EncodeUCS2_70);
BENCHMARK(BM_Decode7Bit160);
BENCHMARK(BM_Decode7Bit160Escapes);
BENCHMARK(BM_DecodeUCS2_70);
BENCHMARK_MAIN();
