// The readers of an instrument's identification document and of the HTTP
// reply that carries it, over recorded documents and replies.
#include <gtest/gtest.h>

#include "wire/http_reply.h"
#include "wire/lxi_identification.h"

namespace {

TEST(HttpReply, RequestAndReplies) {
  EXPECT_EQ(BuildHttpGet("/lxi/identification", "10.0.0.5"),
            "GET /lxi/identification HTTP/1.1\r\nHost: 10.0.0.5\r\nConnection: close\r\n\r\n");
  const std::string ok = "HTTP/1.1 200 OK\r\n", chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
  using enum HttpState;
  const struct { std::string bytes; bool closed; HttpState state; int status; const char *body; } cases[] = {
      {ok + "content-length: 5\r\n\r\nhello!", false, Complete, 200, "hello"},
      {ok + "Content-Length: 5\r\n\r\nhel", false, Incomplete, 0, ""},
      {ok + "Content-Length: 5\r\n\r\nhel", true, Malformed, 0, ""},
      {chunked + "3\r\nabc\r\n2;x=1\r\nde\r\n0\r\nX-T: 1\r\n\r\n", false, Complete, 200, "abcde"},
      {chunked + "3\r\nabc\r\n0\r\n", false, Incomplete, 0, ""},
      {"HTTP/1.0 404 Not Found\nServer: x\n\nbody", true, Complete, 404, "body"},
      {"HTTP/1.0 200 OK\nServer: x\n\nbody", false, Incomplete, 0, ""},
      // Over the 16-byte bound: by its length, its chunks, what came, its headers.
      {ok + "Content-Length: 17\r\n\r\n", false, TooLarge, 0, ""},
      {chunked + "10\r\n0123456789abcdef\r\n1\r\n", false, TooLarge, 0, ""},
      {ok + "\r\n0123456789abcdefg", false, TooLarge, 0, ""},
      {ok + "X: " + std::string(kMaxHttpHeaderBytes, 'x'), false, TooLarge, 0, ""},
      {"SSH-2.0-OpenSSH_9.2\r\n", false, Malformed, 0, ""},
      {ok + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", false, Malformed, 0, ""},
      {ok + "Transfer-Encoding: gzip\r\n\r\n", false, Malformed, 0, ""},
      {chunked + "1\r\nab\r\n", false, Malformed, 0, ""},
  };
  for (const auto &c : cases) {
    HttpReply reply;
    const HttpState state = ReadHttpReply(c.bytes, c.closed, 16, reply);
    EXPECT_EQ(std::make_tuple(state, state == Complete ? reply.Status : 0, state == Complete ? reply.Body : ""),
              std::make_tuple(c.state, c.status, std::string(c.body)))
        << c.bytes.substr(0, 100);
  }
}

// As an instrument serves it: a namespace, an interface of IPv6 between two of IPv4.
const char kDocument[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<LXIDevice xmlns="http://www.lxistandard.org/InstrumentIdentification/1.0"
 xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><Model>DSOX1204G</Model><!-- a < b -->
 <Interface xsi:type="NetworkInformation" InterfaceType="LXI" IPType="IPv4" InterfaceName="eth0">
  <InstrumentAddressString>TCPIP::192.168.1.30::inst0::INSTR</InstrumentAddressString>
  <Hostname> a-dsox &amp; b.lab
  </Hostname><IPAddress>192.168.1.30</IPAddress><SubnetMask>255.255.255.0</SubnetMask>
  <MACAddress>80-09-02-00-00-1E</MACAddress><Gateway>192.168.1.1</Gateway>
  <DHCPEnabled>true</DHCPEnabled><AutoIPEnabled>true</AutoIPEnabled></Interface>
 <Interface InterfaceType="LXI" IPType="IPv6"><IPAddress>fe80::1</IPAddress></Interface>
 <Interface IPType="IPv4"><IPAddress>169.254.7.9</IPAddress><MACAddress>80:09:02:00:00:1f</MACAddress>
  <DHCPEnabled>true</DHCPEnabled><AutoIPEnabled>1</AutoIPEnabled></Interface>
</LXIDevice>)";

// An older one: root Device, prefixed names, DHCP off; an Interface without network fields.
const char kOlderDocument[] = R"(<lxi:Device xmlns:lxi="http://www.lxistandard.org/InstrumentIdentification/1.0">
<lxi:Interface InterfaceType="VXI"><lxi:IPAddress>10.0.0.5</lxi:IPAddress><lxi:Gateway/>
<lxi:DHCPEnabled>False</lxi:DHCPEnabled></lxi:Interface><lxi:Interface><lxi:Domain>1</lxi:Domain></lxi:Interface>
</lxi:Device>)";

TEST(LxiIdentification, RecordedDocuments) {
  using Row = std::vector<std::string>;
  const struct { std::string document; bool read; std::vector<Row> rows; } cases[] = {
      {kDocument, true, {{"a-dsox & b.lab", "80-09-02-00-00-1E", "192.168.1.30", "255.255.255.0", "192.168.1.1", "DHCP"},
                         {"-", "80:09:02:00:00:1f", "169.254.7.9", "-", "-", "AutoIP"}}},
      {kOlderDocument, true, {{"-", "-", "10.0.0.5", "-", "", "Static"}}},
      {"<LXIDevice><Interface><Hostname>h</Hostname><DHCPEnabled>yes</DHCPEnabled></Interface></LXIDevice>", true,
       {{"h", "-", "-", "-", "-", ""}}},
      {"<html><Interface><IPAddress>1.2.3.4</IPAddress></Interface></html>", false, {}},
      {"<LXIDevice><Interface><IPAddress>1.2.3.4</IPAddress></Interface>", false, {}},
      {"<LXIDevice><Interface><IPAddress>1.2.3.4</Interface></LXIDevice>", false, {}},
      {"<LXIDevice>" + std::string(1024, '<'), false, {}},
      {"<LXIDevice>" + std::string(kMaxIdentificationBytes, ' ') + "</LXIDevice>", false, {}},
  };
  for (const auto &c : cases) {
    std::vector<LxiNetworkInterface> interfaces{LxiNetworkInterface{}};
    EXPECT_EQ(ReadLxiIdentification(c.document, interfaces), c.read) << c.document.substr(0, 100);
    std::vector<Row> rows;
    for (const LxiNetworkInterface &i : interfaces) {
      rows.emplace_back();
      for (const auto *field : {&i.Hostname, &i.Mac, &i.Ip, &i.Mask, &i.Gateway}) rows.back().push_back(field->value_or("-"));
      rows.back().push_back(AddressMode(i));
    }
    EXPECT_EQ(rows, c.rows) << c.document.substr(0, 100);
  }
}

}  // namespace
