#!/usr/bin/python3
"""An HL7 peer built on python3-hl7's MLLP streams, for qelvor-cli's tests.

send PORT FILE   connect to 127.0.0.1:PORT, send each message of FILE (a blank
                 line between two), and print "ACK <MSA-1> <MSA-2> <MSH-5>"
                 for the answer to each
serve CODE...    accept one connection on a free port of 127.0.0.1 (printed as
                 "LISTENING <port>"), answer the n-th message with the n-th
                 code, print "GOT <MSH-10>" for each, followed by the hex of
                 each NTE-3 with its escapes decoded, and end after the last
Every wait ends after 20 s, with status 1.
"""
import asyncio
import sys

import hl7
from hl7.mllp import open_hl7_connection, start_hl7_server

TIMEOUT = 20


def say(*words):
    print(*words, flush=True)


async def send(port, path):
    with open(path, newline="") as file:
        blocks = file.read().replace("\r\n", "\n").split("\n\n")
    messages = [block.strip("\n").replace("\n", "\r") for block in blocks if block.strip()]
    reader, writer = await open_hl7_connection("127.0.0.1", port)
    for text in messages:
        writer.writemessage(hl7.parse(text))
        await writer.drain()
        ack = await asyncio.wait_for(reader.readmessage(), TIMEOUT)
        msa = ack.segment("MSA")
        say("ACK", msa[1], msa[2], ack.segment("MSH")[5])
    writer.close()


async def serve(codes):
    finished = asyncio.Event()

    async def on_client(reader, writer):
        for code in codes:
            message = await asyncio.wait_for(reader.readmessage(), TIMEOUT)
            notes = [s for s in message if str(s[0]) == "NTE"]
            say("GOT", message.segment("MSH")[10],
                *[message.unescape(str(note[3])).encode().hex() for note in notes])
            writer.writemessage(message.create_ack(code))
            await writer.drain()
        writer.close()
        finished.set()

    server = await start_hl7_server(on_client, "127.0.0.1", 0)
    async with server:
        say("LISTENING", server.sockets[0].getsockname()[1])
        await asyncio.wait_for(finished.wait(), TIMEOUT)


def main(args):
    if len(args) == 3 and args[0] == "send":
        return send(int(args[1]), args[2])
    if len(args) >= 2 and args[0] == "serve":
        return serve(args[1:])
    sys.exit(__doc__)


if __name__ == "__main__":
    try:
        asyncio.run(main(sys.argv[1:]))
    except asyncio.TimeoutError:
        sys.exit("hl7_peer: no answer within %d s" % TIMEOUT)
