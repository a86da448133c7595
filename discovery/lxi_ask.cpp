#include "discovery/lxi_ask.h"

#include "core/dotted_address.h"
#include "discovery/lxi_identity.h"
#include "session/http_get.h"
#include "wire/lxi_identification.h"

namespace {

constexpr int kHttpPort = 80;
constexpr char kIdentificationPath[] = "/lxi/identification";
constexpr char kLxiService[] = "_lxi._tcp";
constexpr int kHttpOk = 200;

void FetchIdentification(const LxiInstrument &instrument, std::uint64_t deadlineMs, LxiFindings &findings) {
  const int announced = AnnouncedPort(instrument, kLxiService);
  const int port = announced != 0 ? announced : kHttpPort;
  const std::string address = FormatDottedAddress(instrument.Ip);
  const HttpFetch fetch = HttpGet(address, port, kIdentificationPath, deadlineMs, kMaxIdentificationBytes);
  const std::string head = "Identification from " + address + " port " + std::to_string(port) + " ";
  if (!fetch.Failure.empty()) {
    findings.Notes.push_back(head + fetch.Failure);
  } else if (fetch.Reply.Status != kHttpOk) {
    findings.Notes.push_back(head + "gave HTTP status " + std::to_string(fetch.Reply.Status));
  } else if (!ReadLxiIdentification(fetch.Reply.Body, findings.Interfaces)) {
    findings.Notes.push_back(head + "gave a document that does not read (" + std::to_string(fetch.Reply.Body.size()) +
                             " bytes)");
  }
}

}  // namespace

LxiFindings AskLxiInstrument(const LxiInstrument &instrument, std::uint32_t xid, std::uint64_t deadlineMs) {
  LxiFindings findings;
  AskLxiIdentity(instrument, xid, deadlineMs, findings);
  FetchIdentification(instrument, deadlineMs, findings);
  return findings;
}
