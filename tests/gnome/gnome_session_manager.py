'''A stand-in for GNOME's session manager: applications' inhibitors and the
question whether any holds the given flags, with the signals GNOME sends
when one comes or goes.'''

BUS_NAME = 'org.gnome.SessionManager'
MAIN_OBJ = '/org/gnome/SessionManager'
MAIN_IFACE = 'org.gnome.SessionManager'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.inhibitors = {}
    mock.next_cookie = 1
    mock.AddMethods(MAIN_IFACE, [
        ('Inhibit', 'susu', 'u',
         'cookie = self.next_cookie\n'
         'self.next_cookie += 1\n'
         'self.inhibitors[cookie] = args[3]\n'
         'self.EmitSignal("org.gnome.SessionManager", "InhibitorAdded", "o", '
         '["/org/gnome/SessionManager/Inhibitor%d" % cookie])\n'
         'ret = cookie'),
        ('Uninhibit', 'u', '',
         'self.inhibitors.pop(args[0], None)\n'
         'self.EmitSignal("org.gnome.SessionManager", "InhibitorRemoved", "o", '
         '["/org/gnome/SessionManager/Inhibitor%d" % args[0]])'),
        ('IsInhibited', 'u', 'b',
         # A plain loop: the mock runs this with exec(), where a generator
         # would not see `args`.
         'ret = False\n'
         'for flags in self.inhibitors.values():\n'
         '    ret = ret or (flags & args[0]) != 0'),
    ])
