// Multicast DNS replies of any bytes, read and merged as the instrument search does; the first two bytes are
// taken as the query's id, so that the whole reader is reached. Properties: names stay within 255 bytes, every
// follow-up question can be asked (its query holds them all), the printed block is one line per field.
#include <string>
#include <vector>

#include "wire/dns_reply.h"
#include "discovery/lxi_instrument.h"
#include "discovery/lxi_resolution.h"
#include "wire/mdns_query.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view reply = InputBytes(data, size);
  const std::uint16_t id = size < 2 ? 0 : static_cast<std::uint16_t>(data[0] << 8 | data[1]);
  std::vector<DnsRecord> records;
  if (!ReadDnsReply(reply, id, records)) return 0;
  for (const DnsRecord &record : records)
    for (const DnsName *name : {&record.Name, &record.Target}) {
      std::size_t bytes = 1;
      for (const std::string &label : *name) bytes += label.size() + 1;
      FUZZ_CHECK(bytes <= 255);
    }
  MdnsAnswers answers;
  NoteMdnsReply(answers, records, 0x7F000001, 0);
  for (const MdnsFollowUp &query : DueFollowUps(answers, 0)) {
    const std::string bytes = BuildQuestionQuery(1, query.Questions);
    FUZZ_CHECK(bytes.size() >= 12 && static_cast<std::size_t>(bytes[4] << 8 | static_cast<unsigned char>(bytes[5])) ==
                                         query.Questions.size());
  }
  LxiInstrumentList list;
  AddAnnouncedServices(list, answers);
  for (LxiInstrument &instrument : list) {
    for (const std::string &line : FormatLxiInstrument(instrument))
      FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
  }
  return 0;
}
