// The readers of an instrument's identification document and of the HTTP
// reply that carries it, over recorded documents and replies.
#include <gtest/gtest.h>

#include "wire/http_reply.h"
#include "wire/lxi_identification.h"

namespace {

TEST(HttpReply, RequestAndReplies) {
  EXPECT_EQ(BuildHttpGet("/lxi/identification", "10.0.0.5"),
            "GET /lxi/identification HTTP/1.1\r\nHost: 10.0.0.5\r\nConnection: close\r\n\r\n");
  const std::string head = "HTTP/1.1 200 OK\r\n";
  const struct { std::string bytes; bool closed; HttpState state; int status; const char *body; } cases[] = {
      {head + "content-length: 5\r\n\r\nhello!", false, HttpState::Complete, 200, "hello"},
      {head + "Content-Length: 5\r\n\r\nhel", false, HttpState::Incomplete, 0, ""},
      {head + "Content-Length: 5\r\n\r\nhel", true, HttpState::Malformed, 0, ""},
      {head + "Content-Length: 5\r\nContent-Length: 5\r\n\r\nhello", false, HttpState::Complete, 200, "hello"},
      {head + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2;x=1\r\nde\r\n0\r\nX-T: 1\r\n\r\n", false,
       HttpState::Complete, 200, "abcde"},
      {head + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n", false, HttpState::Incomplete, 0, ""},
      {head + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n", true, HttpState::Malformed, 0, ""},
      {"HTTP/1.0 200 OK\nServer: x\n\nbody", true, HttpState::Complete, 200, "body"},
      {"HTTP/1.0 200 OK\nServer: x\n\nbody", false, HttpState::Incomplete, 0, ""},
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", false, HttpState::Complete, 404, ""},
      {"HTTP/1.1 204\r\n\r\n", false, HttpState::Complete, 204, ""},
      // Over the 16-byte bound: by its length, its chunks, or what came.
      {head + "Content-Length: 17\r\n\r\n", false, HttpState::TooLarge, 0, ""},
      {head + "Transfer-Encoding: chunked\r\n\r\n10\r\n0123456789abcdef\r\n1\r\n", false, HttpState::TooLarge, 0, ""},
      {head + "Transfer-Encoding: chunked\r\n\r\n123456789\r\n", false, HttpState::TooLarge, 0, ""},
      {head + "\r\n0123456789abcdefg", false, HttpState::TooLarge, 0, ""},
      {head + "X: " + std::string(kMaxHttpHeaderBytes, 'x'), false, HttpState::TooLarge, 0, ""},
      {"HTTP/1.1 2x0 OK\r\n\r\n", false, HttpState::Malformed, 0, ""},
      {"SSH-2.0-OpenSSH_9.2\r\n", false, HttpState::Malformed, 0, ""},
      {head + "No colon\r\n\r\n", false, HttpState::Malformed, 0, ""},
      {head + "Content-Length: -1\r\n\r\n", false, HttpState::Malformed, 0, ""},
      {head + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", false, HttpState::Malformed, 0, ""},
      {head + "Transfer-Encoding: gzip\r\n\r\n", false, HttpState::Malformed, 0, ""},
      {head + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", false, HttpState::Malformed, 0, ""},
      {head + "Transfer-Encoding: chunked\r\n\r\n1\r\nab\r\n", false, HttpState::Malformed, 0, ""},
  };
  for (const auto &c : cases) {
    HttpReply reply;
    const HttpState state = ReadHttpReply(c.bytes, c.closed, 16, reply);
    EXPECT_EQ(std::make_tuple(state, state == HttpState::Complete ? reply.Status : 0,
                              state == HttpState::Complete ? reply.Body : ""),
              std::make_tuple(c.state, c.status, std::string(c.body)))
        << c.bytes.substr(0, 200);
  }
}

// As instruments serve it: a namespace, a second interface of IPv6, a third.
const char kDocument[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<LXIDevice xmlns="http://www.lxistandard.org/InstrumentIdentification/1.0"
    xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
  <Manufacturer>Keysight Technologies</Manufacturer>
  <Model>DSOX1204G</Model>
  <UserDescription>Bench 3 &amp; 4</UserDescription>
  <Interface xsi:type="NetworkInformation" InterfaceType="LXI" IPType="IPv4" InterfaceName="eth0">
    <InstrumentAddressString>TCPIP::192.168.1.30::inst0::INSTR</InstrumentAddressString>
    <Hostname> a-dsox1204g.lab
    </Hostname>
    <IPAddress>192.168.1.30</IPAddress>
    <SubnetMask>255.255.255.0</SubnetMask>
    <MACAddress>80-09-02-00-00-1E</MACAddress>
    <Gateway>192.168.1.1</Gateway>
    <DHCPEnabled>true</DHCPEnabled>
    <AutoIPEnabled>true</AutoIPEnabled>
  </Interface>
  <Interface InterfaceType="LXI" IPType="IPv6" InterfaceName="eth0">
    <IPAddress>fe80::1</IPAddress>
  </Interface>
  <Interface InterfaceType="LXI" IPType="IPv4" InterfaceName="eth1">
    <Hostname>scope-b</Hostname><IPAddress>169.254.7.9</IPAddress><SubnetMask>255.255.0.0</SubnetMask>
    <MACAddress>80:09:02:00:00:1f</MACAddress><Gateway>0.0.0.0</Gateway>
    <DHCPEnabled>true</DHCPEnabled><AutoIPEnabled>1</AutoIPEnabled>
  </Interface>
  <LXIVersion>1.5</LXIVersion>
</LXIDevice>)";

// An older one: root Device, prefixed names, no Gateway, DHCP off.
const char kOlderDocument[] = R"(<lxi:Device xmlns:lxi="http://www.lxistandard.org/InstrumentIdentification/1.0">
<lxi:Interface InterfaceType="VXI"><lxi:IPAddress>10.0.0.5</lxi:IPAddress><lxi:MACAddress>00-0A</lxi:MACAddress>
<lxi:DHCPEnabled>False</lxi:DHCPEnabled><lxi:AutoIPEnabled>true</lxi:AutoIPEnabled></lxi:Interface>
<lxi:Interface><lxi:InstrumentAddressString>TCPIP::10.0.0.5::INSTR</lxi:InstrumentAddressString></lxi:Interface>
</lxi:Device>)";

using Row = std::vector<std::string>;

// Each interface as its fields, "-" for one the document leaves out, and
// its address mode.
std::vector<Row> Rows(const std::vector<LxiNetworkInterface> &interfaces) {
  std::vector<Row> rows;
  for (const LxiNetworkInterface &i : interfaces) {
    Row row;
    for (const auto *field : {&i.Hostname, &i.Mac, &i.Ip, &i.Mask, &i.Gateway}) row.push_back(field->value_or("-"));
    row.push_back(AddressMode(i));
    rows.push_back(row);
  }
  return rows;
}

TEST(LxiIdentification, RecordedDocuments) {
  const std::string deep = "<LXIDevice>" + std::string(1100, '<');
  const struct { std::string document; bool read; std::vector<Row> rows; } cases[] = {
      {kDocument, true, {{"a-dsox1204g.lab", "80-09-02-00-00-1E", "192.168.1.30", "255.255.255.0", "192.168.1.1", "DHCP"},
                         {"scope-b", "80:09:02:00:00:1f", "169.254.7.9", "255.255.0.0", "0.0.0.0", "AutoIP"}}},
      {kOlderDocument, true, {{"-", "00-0A", "10.0.0.5", "-", "-", "Static"}}},
      {"<LXIDevice><Interface><Hostname/><DHCPEnabled>yes</DHCPEnabled></Interface></LXIDevice>", true,
       {{"", "-", "-", "-", "-", ""}}},
      {"<LXIDevice><Model>X</Model></LXIDevice>", true, {}},
      {"<html><Interface><IPAddress>1.2.3.4</IPAddress></Interface></html>", false, {}},
      {"<LXIDevice><Interface><IPAddress>1.2.3.4</IPAddress></Interface>", false, {}},
      {"<LXIDevice><Interface><IPAddress>1.2.3.4</Interface></LXIDevice>", false, {}},
      {std::string("<LXIDevice>\0</LXIDevice>", 24), false, {}},
      {"", false, {}},
      {deep, false, {}},
      {"<LXIDevice>" + std::string(kMaxIdentificationBytes, ' ') + "</LXIDevice>", false, {}},
  };
  for (const auto &c : cases) {
    std::vector<LxiNetworkInterface> interfaces{LxiNetworkInterface{}};
    EXPECT_EQ(ReadLxiIdentification(c.document, interfaces), c.read) << c.document.substr(0, 100);
    EXPECT_EQ(Rows(interfaces), c.rows) << c.document.substr(0, 100);
  }
}

}  // namespace
