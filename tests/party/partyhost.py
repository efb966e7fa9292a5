"""Starts a shared game's host for the tests and benchmarks: the real program, headless, on
loopback, with a HOME and runtime folder of its own; reads its address, PIN and host key."""
import asyncio
import json
import os
import re
import subprocess
import tempfile

import websockets


class Host:
    def __init__(self, program, quiz, questions, platform="offscreen"):
        self.home = tempfile.TemporaryDirectory()
        runtime = os.path.join(self.home.name, "runtime")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, HOME=self.home.name, XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM=platform)
        self.process = subprocess.Popen(
            [program, "--host", quiz, "--bind", "127.0.0.1", "--questions", str(questions)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, text=True)
        lines = [self.process.stdout.readline() for _ in range(3)]
        self.url = re.search(r"address (\S+)", lines[0]).group(1)
        self.pin = re.search(r"pin (\d+)", lines[1]).group(1)
        self.key = re.search(r"host key (\w+)", lines[2]).group(1)
        self.origin = self.url.rstrip("/")
        self.port = int(self.origin.rsplit(":", 1)[1])
        self.ws = "ws://127.0.0.1:%d/ws" % self.port

    def close(self):
        self.process.terminate()
        self.process.wait(10)
        self.home.cleanup()

    def alive(self):
        return self.process.poll() is None

    async def connect(self, origin=None, path="/ws"):
        return await websockets.connect("ws://127.0.0.1:%d%s" % (self.port, path),
                                        origin=origin or self.origin, max_size=2**20, ping_interval=None)

    async def control(self, action):
        socket = await self.connect()
        await socket.send(json.dumps({"type": "host", "key": self.key, "action": action}))
        await socket.close()


async def receive(socket, kind, timeout=5):
    """The next message of type `kind`, passing over the others."""
    async def wait():
        while True:
            message = json.loads(await socket.recv())
            if message["type"] == kind:
                return message
    return await asyncio.wait_for(wait(), timeout)


async def closed(socket, timeout=5):
    """True once the host has closed `socket`, whatever it sent before."""
    try:
        async def drain():
            while True:
                await socket.recv()
        await asyncio.wait_for(drain(), timeout)
    except websockets.ConnectionClosed:
        return True
    except asyncio.TimeoutError:
        return False


async def refused(host, **where):
    """True when the host will not talk on a socket opened so: refused at the handshake or closed."""
    try:
        socket = await host.connect(**where)
    except websockets.InvalidStatusCode:
        return True
    return await closed(socket)
