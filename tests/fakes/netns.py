"""Making objects inside another network namespace (Python standard library only)."""
import ctypes
import os
import threading

CLONE_NEWNET = 0x40000000


def call_in(netns, make):
    """Returns make(), called in a thread of its own that has joined the network
    namespace file netns (such as /proc/PID/ns/net), or called here when netns
    is None. Only that thread moves, so the rest of the process stays where it
    is; a socket made there keeps its namespace wherever it is used. What make()
    raises is raised here."""
    if netns is None:
        return make()
    outcome = {}

    def enter_and_make():
        try:
            libc = ctypes.CDLL(None, use_errno=True)
            descriptor = os.open(netns, os.O_RDONLY)
            try:
                if libc.setns(descriptor, CLONE_NEWNET) != 0:
                    error = ctypes.get_errno()
                    raise OSError(error, "setns %s: %s" % (netns, os.strerror(error)))
            finally:
                os.close(descriptor)
            outcome["value"] = make()
        except BaseException as failure:  # handed to the calling thread
            outcome["error"] = failure

    thread = threading.Thread(target=enter_and_make)
    thread.start()
    thread.join()
    if "error" in outcome:
        raise outcome["error"]
    return outcome["value"]
