#!/usr/bin/env python3
"""A TCP proxy on 127.0.0.1 that delays every byte by a fixed time in each direction.

    delay_proxy.py TARGET_PORT ONE_WAY_MS

Listens on an ephemeral port of 127.0.0.1, prints it on the first line of stdout, and forwards
each connection to 127.0.0.1:TARGET_PORT. Data read from either side is written to the other
ONE_WAY_MS milliseconds later, in order, so a round trip takes 2 * ONE_WAY_MS longer; a new
connection pays it for its handshake too (the connect to the target is delayed by one round trip).
At most QUEUE_READS reads are in flight per direction, and a side whose peer has gone stops
reading, so a server sends about what a client reads, as over a real link.
Ends when stdin closes (the bench holds it open).
"""

import asyncio
import sys


# Data in flight per direction, in reads of up to READ_SIZE bytes: enough for the delay at loopback
# speed, small enough that a peer that stops reading (or has gone) holds the other side back as
# a real network would, instead of the proxy draining the server into memory.
READ_SIZE = 65536
QUEUE_READS = 64


async def pump(reader, writer, delay):
    """Forwards reader to writer with the delay. Ends when the reader ends (the writer is then
    half-closed) or when the writer fails (the peer has gone; reading stops at once)."""
    queue = asyncio.Queue(maxsize=QUEUE_READS)
    loop = asyncio.get_running_loop()

    async def send():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                break
            writer.write(data)
            await writer.drain()
        try:
            writer.write_eof()
        except OSError:
            pass

    async def receive():
        while True:
            try:
                data = await reader.read(READ_SIZE)
            except OSError:
                data = b""
            await queue.put((loop.time() + delay, data if data else None))
            if not data:
                break

    sender = asyncio.create_task(send())
    receiver = asyncio.create_task(receive())
    try:
        await sender
    except (OSError, asyncio.CancelledError):
        pass
    receiver.cancel()
    try:
        await receiver
    except asyncio.CancelledError:
        pass


async def handle(client_reader, client_writer, target_port, delay):
    await asyncio.sleep(2 * delay)
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
    except OSError:
        client_writer.close()
        return
    # Each direction ends on its own: at the end of its input, or when its output's peer has gone.
    await asyncio.gather(
        pump(client_reader, server_writer, delay),
        pump(server_reader, client_writer, delay),
        return_exceptions=True,
    )
    for w in (client_writer, server_writer):
        try:
            w.close()
        except OSError:
            pass


async def main():
    target_port = int(sys.argv[1])
    delay = int(sys.argv[2]) / 1000.0
    server = await asyncio.start_server(
        lambda r, w: handle(r, w, target_port, delay), "127.0.0.1", 0
    )
    print(server.sockets[0].getsockname()[1], flush=True)
    loop = asyncio.get_running_loop()
    stdin_closed = loop.create_future()
    loop.add_reader(sys.stdin.fileno(), lambda: stdin_closed.done() or stdin_closed.set_result(None))
    await stdin_closed
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
