#!/usr/bin/env python3
"""Another user's UDP sockets on 127.0.0.1, for the end-to-end tests (run as nobody).

  otheruser.py spoof FROM TO WORD...  each word from 127.0.0.N:FROM (N = 2, 3, ...) sent as if
                                      from 127.0.0.1:FROM (IP_PKTINFO) to 127.0.0.1:TO, each
                                      right after a datagram that makes the receiver read its
                                      socket table; prints "sent N", N the words that could be
                                      sent (FROM may be taken on every address)
  otheruser.py spoof-close ...        the same, each socket closed right after sending
  otheruser.py flood COUNT TO RATE    holds COUNT sockets and sends RATE datagrams a second to
                                      127.0.0.1:TO; prints "flooding" after the first second,
                                      and a line on standard error after each
  otheruser.py hold PORT...           holds 127.0.0.1:PORT for each port; prints "held"

Every socket stays open until the program is stopped: the receiver looks up whose the sender's
socket is when it reads the datagram.
"""
import resource
import socket
import struct
import sys
import time

IP_PKTINFO = 8  # Linux: struct in_pktinfo {int ifindex; in_addr spec_dst; in_addr addr;}


def udp(address="127.0.0.1", port=0):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, port))
    return s


def main(command, *args):
    held = []
    if command in ("spoof", "spoof-close"):
        source, to = int(args[0]), ("127.0.0.1", int(args[1]))
        as_ours = struct.pack("=i4s4s", 0, socket.inet_aton("127.0.0.1"), bytes(4))
        sent = 0
        for n, word in enumerate(args[2:], 2):
            held.append(udp())
            held[-1].sendto(b"prime", to)
            time.sleep(0.02)
            try:
                forger = udp("127.0.0.%d" % n, source)
            except OSError:
                continue
            forger.sendmsg([word.encode()], [(socket.IPPROTO_IP, IP_PKTINFO, as_ours)], 0, to)
            sent += 1
            if command == "spoof-close":
                forger.close()
            else:
                held.append(forger)
            time.sleep(0.3)
        print("sent %d" % sent, flush=True)
    elif command == "flood":
        count, to, rate = int(args[0]), ("127.0.0.1", int(args[1])), int(args[2])
        _, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
        held = [udp() for _ in range(count)]
        start = time.monotonic()
        for sent in range(1 << 62):
            held[0].sendto(b"closeMain", to)
            if sent and sent % rate == 0:
                print(sent // rate, file=sys.stderr, flush=True)  # seconds so far
                if sent == rate:
                    print("flooding", flush=True)
            time.sleep(max(0.0, start + (sent + 1) / rate - time.monotonic()))
    elif command == "hold":
        held = [udp(port=int(port)) for port in args]
        print("held", flush=True)
    else:
        sys.exit(__doc__)
    while True:
        time.sleep(60)


if __name__ == "__main__":
    main(*sys.argv[1:])
