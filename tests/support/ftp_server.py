#!/usr/bin/python3
"""FTP server of the update tests: serves one folder on <address>:<port> (21) with pyftpdlib.

Test-controlled behaviour, all read from the served folder at request time:
  .order       the LIST output, one entry a line: "name", "name<TAB>size" or "name<TAB>size<TAB>d".
               Entries need not exist (names no real file may carry); an existing file without a
               size is listed with its real size. Without .order the folder is listed as usual.
  .listfail    LIST is refused with 550.
  reply-NNN    a CWD into a (missing) folder of that name is answered with reply code NNN.
  .listdelay   LIST answers only after this many milliseconds (the connection stays open meanwhile).
Logins (user and password) are appended to --log as "user<TAB>password" lines; with --activity, each
LIST and RETR as it begins ("LIST" or "RETR name").
--throttle sends file data at N bytes a second; for tools/run.sh, --report appends a line for each listing
and file transfer as it happens.
"""
import argparse
import os
import re
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

class OrderedFS(AbstractedFS):
    def listdir(self, path):
        if os.path.exists(os.path.join(path, ".listfail")):
            raise OSError(13, "Listing refused")
        return AbstractedFS.listdir(self, path)

    def format_list(self, basedir, listing, ignore_err=True):
        order = os.path.join(basedir, ".order")
        if not os.path.exists(order):
            visible = [name for name in listing if not name.startswith(".")]
            yield from AbstractedFS.format_list(self, basedir, visible, ignore_err)
            return
        with open(order, encoding="utf-8") as f:
            lines = [line.rstrip("\r\n") for line in f if line.strip()]
        for line in lines:
            fields = line.split("\t")
            name = fields[0]
            full = os.path.join(basedir, name)
            is_dir = len(fields) > 2 and fields[2] == "d"
            if len(fields) > 1:
                size = int(fields[1])
            elif os.path.isfile(full):
                size = os.path.getsize(full)
            else:
                size = 0
            if not is_dir and len(fields) < 3 and os.path.isdir(full):
                is_dir = True
            mode = "drwxr-xr-x" if is_dir else "-rw-r--r--"
            yield ("%s   1 owner    group %12d Jan 01  2020 %s\r\n" % (mode, size, name)).encode("utf-8")


class LoggingAuthorizer(DummyAuthorizer):
    def __init__(self, log):
        DummyAuthorizer.__init__(self)
        self.log = log

    def validate_authentication(self, username, password, handler):
        if self.log:
            with open(self.log, "a", encoding="utf-8") as f:
                f.write("%s\t%s\n" % (username, password))
        DummyAuthorizer.validate_authentication(self, username, password, handler)


class ReplyHandler(FTPHandler):
    activity = ""

    def note(self, line):
        if self.activity:
            with open(self.activity, "a", encoding="utf-8") as f:
                f.write(line + "\n")

    def ftp_LIST(self, path):
        self.note("LIST")
        delay = os.path.join(self.fs.root, ".listdelay")
        if os.path.exists(delay):
            with open(delay, encoding="utf-8") as f:
                ms = int(f.read().strip() or 0)
            if ms > 0:
                # Answered later from the event loop (cancelled if the client goes): a delay, never a stall.
                self.call_later(ms / 1000.0, FTPHandler.ftp_LIST, self, path)
                return None
        return FTPHandler.ftp_LIST(self, path)

    def ftp_RETR(self, file):
        self.note("RETR " + os.path.basename(file))
        return FTPHandler.ftp_RETR(self, file)

    def ftp_CWD(self, path):
        match = re.fullmatch(r"reply-(\d{3})", os.path.basename(path.rstrip("/")))
        if match and not os.path.isdir(path):
            self.respond("%s Folder refused." % match.group(1))
            return None
        return FTPHandler.ftp_CWD(self, path)


def cut_dtp_handler(limit):
    class CutDTPHandler(DTPHandler):
        """Ends every file transfer after `limit` bytes by closing the data connection."""

        def send(self, data):
            if self.cmd == "RETR" and self.tot_bytes_sent >= limit:
                self._resp = ("426 Transfer cut; %d bytes transmitted." % self.tot_bytes_sent, lambda *a: None)
                self.close()
                return 0
            if self.cmd == "RETR":
                data = data[: max(1, limit - self.tot_bytes_sent)]
            return DTPHandler.send(self, data)

    return CutDTPHandler


def reporting_handler(base, report):
    """Appends what the server does for the client to the report file, one line an event."""

    def say(text):
        with open(report, "a", encoding="utf-8") as f:
            f.write(text + "\n")

    class ReportingHandler(base):
        def ftp_LIST(self, path):
            say("listing %s" % self.fs.fs2ftp(path))
            return base.ftp_LIST(self, path)

        def ftp_RETR(self, file):
            self._sending = (os.path.basename(file), time.monotonic())
            if os.path.isfile(file):
                say("sending %s (%d bytes)" % (self._sending[0], os.path.getsize(file)))
            return base.ftp_RETR(self, file)

        def on_file_sent(self, file):
            name, start = getattr(self, "_sending", (os.path.basename(file), time.monotonic()))
            say("sent %s: %d bytes in %.1f s" % (name, os.path.getsize(file), time.monotonic() - start))

        def on_incomplete_file_sent(self, file):
            say("transfer of %s broken off" % os.path.basename(file))

    return ReportingHandler


def paced_dtp_handler(rate):
    class PacedDTPHandler(ThrottledDTPHandler):
        """Sends `rate` bytes a second in small chunks, each followed by its share of the second, so
        that a transfer can be caught at any point (the base class sends a second's worth at once)."""

        write_limit = rate
        auto_sized_buffers = False
        ac_out_buffer_size = 16384

        def _throttle_bandwidth(self, len_chunk, max_speed):
            if len_chunk <= 0:
                return

            def resume():
                self.add_channel(events=self.ioloop.WRITE)

            self.del_channel()
            self._cancel_throttler()
            self._throttler = self.ioloop.call_later(len_chunk / max_speed, resume, _errback=self.handle_error)

    return PacedDTPHandler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", default="")
    parser.add_argument("--user", default="pmuser")
    parser.add_argument("--password", default="pmsecret")
    parser.add_argument("--cut-after", type=int, default=0, help="cut file transfers after N bytes")
    parser.add_argument("--throttle", type=int, default=0, help="send file data at N bytes a second")
    parser.add_argument("--activity", default="", help="file that records each LIST and RETR")
    parser.add_argument("--report", default="", help="append served listings and transfers to this file")
    args = parser.parse_args()

    authorizer = LoggingAuthorizer(args.log)
    authorizer.add_anonymous(args.root, perm="elr")
    authorizer.add_user(args.user, args.password, args.root, perm="elr")

    handler = reporting_handler(ReplyHandler, args.report) if args.report else ReplyHandler
    handler.authorizer = authorizer
    handler.abstracted_fs = OrderedFS
    handler.auth_failed_timeout = 0
    handler.use_sendfile = False
    handler.permit_foreign_addresses = True
    handler.activity = args.activity
    if args.cut_after:
        handler.dtp_handler = cut_dtp_handler(args.cut_after)
    elif args.throttle:
        handler.dtp_handler = paced_dtp_handler(args.throttle)

    server = FTPServer((args.address, args.port), handler)
    server.max_cons = 64
    # No poll time-out: the loop then wakes for each scheduled call (paced data, delayed listings)
    # when it is due instead of up to a second late.
    server.serve_forever()


if __name__ == "__main__":
    import logging

    logging.basicConfig(level=logging.WARNING)
    sys.exit(main())
