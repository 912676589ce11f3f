#!/usr/bin/python3
"""The logind lock of an update run: held with the right terms while the object lives and given
back after, even when granted late; without logind or a system bus, one log line and no wait."""
import subprocess
import sys
import time
import unittest

try:
    import dbusmock
except ImportError:
    print('python3-dbusmock is not installed: the inhibitor test is skipped')
    sys.exit(77)

PROBE = sys.argv.pop(1)
LOCK = ('sleep:shutdown', 'LUMIVEX Firmware Updater', "A camera's firmware is being written", 'block')


class Inhibitor(dbusmock.DBusTestCase):
    @classmethod
    def setUpClass(cls):
        cls.start_system_bus()

    def run_probe(self, mode, between=lambda: None, bus=None):
        env = None if bus is None else {'DBUS_SYSTEM_BUS_ADDRESS': bus}
        probe = subprocess.Popen([PROBE, mode], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True, env=env)
        held = None
        if mode != 'drop':
            held = probe.stdout.readline().split()
            between()
            probe.stdin.write('\n')
            probe.stdin.flush()
        self.assertEqual(probe.stdout.readline().strip(), 'released')
        return probe, held

    def finish(self, probe):
        return probe.communicate('\n', timeout=10)[1].splitlines()

    def settled(self, condition):
        deadline = time.monotonic() + 3
        while not condition() and time.monotonic() < deadline:
            time.sleep(0.02)
        return condition()

    def test_lock_held_while_the_object_lives(self):
        mock, logind = self.spawn_server_template('logind', {}, stdout=subprocess.DEVNULL)
        self.addCleanup(mock.wait)
        self.addCleanup(mock.terminate)
        held = lambda: [tuple(i[:4]) for i in logind.ListInhibitors()]
        for mode in ('wait', 'loop'):
            with self.subTest(mode=mode):
                probe, answer = self.run_probe(mode, lambda: self.assertEqual(held(), [LOCK]))
                self.assertEqual(answer[:2], ['held', '1'])
                # Given back by the object, not by the end of the process.
                self.assertTrue(self.settled(lambda: held() == []))
                self.assertEqual(self.finish(probe), [])
        with self.subTest(mode='granted after release'):
            logind.ClearCalls(dbus_interface=dbusmock.MOCK_IFACE)
            probe, _ = self.run_probe('drop')
            self.assertTrue(self.settled(lambda: logind.GetMethodCalls('Inhibit', dbus_interface=dbusmock.MOCK_IFACE)))
            self.assertTrue(self.settled(lambda: held() == []))
            self.assertLessEqual(len(self.finish(probe)), 1)

    def test_without_logind_one_line_and_no_wait(self):
        for mode, bus in (('wait', None), ('loop', None), ('wait', 'unix:path=/nonexistent/bus')):
            with self.subTest(mode=mode, bus=bus):
                probe, answer = self.run_probe(mode, bus=bus)
                self.assertEqual(answer[:2], ['held', '0'])
                self.assertLess(int(answer[2]), 1500)  # answered at once, not after the timeout
                lines = self.finish(probe)
                self.assertEqual(len(lines), 1, lines)
                self.assertTrue(lines[0].startswith('Inhibit - '), lines)

    def test_a_silent_logind_is_given_two_seconds(self):
        mock = self.spawn_server('org.freedesktop.login1', '/org/freedesktop/login1',
                                 'org.freedesktop.login1.Manager', system_bus=True, stdout=subprocess.DEVNULL)
        self.addCleanup(mock.wait)
        self.addCleanup(mock.terminate)
        logind = self.get_dbus(system_bus=True).get_object('org.freedesktop.login1', '/org/freedesktop/login1')
        logind.AddMethod('org.freedesktop.login1.Manager', 'Inhibit', 'ssss', 'h', 'time.sleep(3)',
                         dbus_interface=dbusmock.MOCK_IFACE)
        probe, answer = self.run_probe('wait')
        self.assertEqual(answer[:2], ['held', '0'])
        self.assertTrue(1800 <= int(answer[2]) < 2900, answer)
        lines = self.finish(probe)
        self.assertEqual(len(lines), 1, lines)
        self.assertIn('NoReply', lines[0])


if __name__ == '__main__':
    unittest.main(verbosity=2)
