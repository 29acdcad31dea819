"""Network and mount sandbox for running wanvox and its stand-ins in end-to-end tests (see README.md)."""

from sandbox.box import Sandbox
from sandbox.hosts import Gateway, Lan, build_dir, daemon_binary
from sandbox.process import Process
from sandbox.waiting import wait_for, wait_for_text

__all__ = ["Sandbox", "Gateway", "Lan", "Process", "build_dir", "daemon_binary", "wait_for",
           "wait_for_text"]
