"""A headless Chromium driven over the DevTools protocol on a pipe (no extra Python
packages): a fresh profile in a temporary folder, every host name except the loopback
address unresolvable, no background traffic."""

import json
import os
import shutil
import subprocess
import tempfile
import time


class Browser:
    def __init__(self, binary="/usr/bin/chromium", width=1100, height=800):
        self.profile = tempfile.mkdtemp(prefix="rd-chromium-")
        to_child_r, self._to_child = os.pipe()
        self._from_child, from_child_w = os.pipe()

        def fds():
            # The browser reads commands on fd 3 and answers on fd 4. Copies first: a pipe
            # end that already is 3 or 4 would keep its close-on-exec flag.
            r, w = os.dup(to_child_r), os.dup(from_child_w)
            os.dup2(r, 3)
            os.dup2(w, 4)

        args = [binary, "--headless=new", "--remote-debugging-pipe", f"--user-data-dir={self.profile}",
                "--no-first-run", "--no-default-browser-check", "--disable-gpu", "--disable-extensions",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--disable-default-apps", "--disable-domain-reliability", "--no-proxy-server",
                "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
                f"--window-size={width},{height}", "about:blank"]
        if os.geteuid() == 0:
            args.insert(1, "--no-sandbox")
        self.proc = subprocess.Popen(args, preexec_fn=fds,
                                     stdout=subprocess.DEVNULL, stderr=None if os.environ.get("RD_BROWSER_LOG") else subprocess.DEVNULL, close_fds=False)
        os.close(to_child_r)
        os.close(from_child_w)
        self._buf = b""
        self._id = 0
        self.session = None
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable")
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def _read_message(self, deadline):
        while b"\0" not in self._buf:
            if time.time() > deadline:
                raise TimeoutError("no answer from the browser")
            chunk = os.read(self._from_child, 1 << 16)
            if not chunk:
                raise RuntimeError("the browser ended")
            self._buf += chunk
        msg, self._buf = self._buf.split(b"\0", 1)
        return json.loads(msg)

    def call(self, method, params=None, timeout=30):
        self._id += 1
        msg = {"id": self._id, "method": method, "params": params or {}}
        if self.session and not method.startswith("Target."):
            msg["sessionId"] = self.session
        os.write(self._to_child, json.dumps(msg).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            answer = self._read_message(deadline)
            if answer.get("id") == self._id:
                if "error" in answer:
                    raise RuntimeError(f"{method}: {answer['error']}")
                return answer.get("result", {})

    def goto(self, url):
        self.call("Page.navigate", {"url": url})

    def evaluate(self, expression):
        r = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in r:
            return None
        return r["result"].get("value")

    def wait_for(self, expression, want=True, timeout=30, step=0.2):
        """Evaluates until the value is want (or, with want=None, anything truthy)."""
        deadline = time.time() + timeout
        value = None
        while time.time() < deadline:
            value = self.evaluate(expression)
            if (want is None and value) or (want is not None and value == want):
                return value
            time.sleep(step)
        raise TimeoutError(f"{expression!r} stayed {value!r}")

    def screenshot(self, path):
        import base64
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for fd in (self._to_child, self._from_child):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)
