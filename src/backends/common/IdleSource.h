#pragma once

namespace pelmora {

// Where the news of the user's idleness comes from: the desktop's own idle
// signal (an X server's idle time, a Wayland idle protocol, GNOME's idle
// monitor). A source reports through its Listener from the event loop; it
// never polls faster than the delay it was given.
class IdleSource {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // The user has been idle for the whole delay.
        virtual void idleFired() = 0;
        // Input came after idleFired().
        virtual void userActive() = 0;
        // An application holds idleness off (a video player, a presentation),
        // or stopped doing so.
        virtual void inhibitedChanged(bool inhibited) = 0;

    protected:
        Listener() = default;
        Listener(const Listener&) = default;
        Listener& operator=(const Listener&) = default;
    };

    virtual ~IdleSource() = default;
    IdleSource(const IdleSource&) = delete;
    IdleSource& operator=(const IdleSource&) = delete;

    // One line naming the source, for --verbose.
    virtual const char* name() const = 0;
    // Starts reporting to `listener`, which outlives the source.
    virtual void start(Listener& listener) = 0;
    // Idleness counts again from the last input: the saver has ended. A
    // source whose desktop reports every idle period on its own has nothing
    // to do here.
    virtual void waitAgain() {}
    // Asked when what held the saver off lets go after the source reported
    // the user idle: whether the user is idle still. A source that reports
    // input after idleness (userActive()) has told the watcher already; one
    // that does not looks again here.
    virtual bool stillIdle() { return true; }

protected:
    IdleSource() = default;
};

}  // namespace pelmora
