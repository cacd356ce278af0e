// The song's MIDI synthesised in the page by spessasynth_lib, with the live
// controls applied to the running synthesiser: nothing restarts when the
// key, tempo, guide melody or volume changes.
import { WorkletSynthesizer, Sequencer } from 'spessasynth_lib';
import { GUIDE_LEVELS } from './controls.js';

// How many of the synthesiser's time reports the song's clock is made from,
// and how long after a change this page made reports are not trusted.
const REPORTS_KEPT = 4;
const REPORT_SETTLE = 0.1;

export class Player {
  constructor() {
    this.context = null;
    this.synth = null;
    this.sequencer = null;
    this.melodyChannel = null;
    // The song's clock: song time = intercept + AudioContext time × rate.
    // The synthesiser reports its song time about once a second; a report
    // read late makes the song look earlier than it is, never later, so the
    // largest intercept of the last few reports is the closest. (The
    // sequencer's own clock only corrects itself when 50 ms off.)
    this.reports = [];
    // Until the first report after a jump: the page's own reckoning.
    this.guess = null;
    this.changedAt = -Infinity;
    this.pausedAt = 0;
    this.onEnded = () => {};
  }

  // Creates the audio graph and loads the soundfont (SF2 or SF3 bytes).
  async start(soundfont) {
    // 'interactive': a key, tempo or guide change is heard within tens of
    // milliseconds ('playback' buffers about 0.1 s more).
    this.context = new AudioContext({ latencyHint: 'interactive' });
    await this.context.audioWorklet.addModule('/synth-worklet.js');
    this.synth = new WorkletSynthesizer(this.context);
    this.synth.connect(this.context.destination);
    await this.synth.soundBankManager.addSoundBank(soundfont, 'main');
    await this.synth.isReady;
    this.sequencer = new Sequencer(this.synth, { skipToFirstNoteOn: false });
    this.sequencer.loopCount = 0;
    this.sequencer.eventHandler.addEvent('songEnded', 'player', () => this.onEnded());
    this.synth.worklet?.port?.addEventListener('message', (event) => {
      const message = event.data;
      if (message?.type !== 'sequencerReturn') return;
      const { type, data } = message.data ?? {};
      if (type === 'timeChange' && Number.isFinite(data?.newTime)) this.report(data.newTime, true);
      else if (type === 'sync' && Number.isFinite(data)) this.report(data, false);
    });
  }

  // An AudioContext made without a user's gesture may start suspended.
  get suspended() {
    return this.context?.state === 'suspended';
  }

  resumeAudio() {
    return this.context?.resume();
  }

  // midi: the .mid file's bytes; settings: the controls' values to start with.
  play(midi, melodyChannel, settings) {
    this.melodyChannel = Number.isInteger(melodyChannel) ? melodyChannel : null;
    this.synth.stopAll(true);
    this.jumped(0);
    this.sequencer.loadNewSongList([{ binary: midi, fileName: 'song.mid' }]);
    for (let channel = 0; channel < 16; channel += 1) {
      this.synth.midiChannels[channel]?.setSystemParameter('gain', 1);
    }
    this.apply(settings);
    this.sequencer.play();
  }

  stop() {
    if (!this.sequencer) return;
    this.sequencer.pause();
    this.synth.stopAll(true);
  }

  apply({ key, tempo, guide, volume }) {
    // The synthesiser's own key shift leaves the drum channels alone.
    this.synth.setSystemParameter('keyShift', key);
    if (this.sequencer.playbackRate !== tempo / 100) {
      const song = this.graphPosition();
      this.sequencer.playbackRate = tempo / 100;
      this.jumped(song);
    }
    this.synth.setSystemParameter('gain', volume / 100);
    if (this.melodyChannel !== null) {
      this.synth.midiChannels[this.melodyChannel]?.setSystemParameter('gain', GUIDE_LEVELS[guide].gain);
    }
  }

  get paused() {
    return this.sequencer?.paused ?? false;
  }

  setPaused(paused) {
    if (paused) {
      this.pausedAt = this.graphPosition();
      this.sequencer.pause();
    } else {
      this.jumped(this.pausedAt);
      this.sequencer.play();
    }
  }

  restart() {
    this.pausedAt = 0;
    this.jumped(0);
    this.sequencer.currentTime = 0;
    if (this.sequencer.paused) this.sequencer.play();
  }

  // The song time jumped here (a new song, a restart, a resumption, a new
  // tempo): older reports no longer hold; `song`, when known, is the time now.
  jumped(song) {
    this.reports = [];
    this.changedAt = this.context.currentTime;
    this.guess = song === undefined ? null : song - this.changedAt * this.sequencer.playbackRate;
  }

  report(song, jump) {
    const now = this.context.currentTime;
    // A report sent before a change this page made may arrive after it.
    if (!jump && now - this.changedAt < REPORT_SETTLE) return;
    if (jump) this.reports = [];
    this.reports.push({ intercept: song - now * this.sequencer.playbackRate, at: now });
    while (this.reports.length > REPORTS_KEPT) this.reports.shift();
  }

  // Song time at AudioContext time `time` while playing.
  songAt(time) {
    const { sequencer } = this;
    if (this.reports.length === 0 && this.guess === null) {
      return sequencer.currentTime - (this.context.currentTime - time) * sequencer.playbackRate;
    }
    const intercept = this.reports.length > 0
      ? Math.max(...this.reports.map((report) => report.intercept))
      : this.guess;
    return intercept + time * sequencer.playbackRate;
  }

  // The song time of the sound being made now.
  graphPosition() {
    const { sequencer } = this;
    if (!sequencer) return 0;
    if (sequencer.paused) return this.pausedAt;
    return this.songAt(this.context.currentTime);
  }

  // The AudioContext time of the sound leaving the loudspeakers now.
  heardTime() {
    const { contextTime, performanceTime } = this.context.getOutputTimestamp();
    if (!(performanceTime > 0)) return this.context.currentTime;
    return contextTime + (performance.now() - performanceTime) / 1000;
  }

  // Seconds on the MIDI file's own timeline (100 % tempo), whatever the
  // tempo, of the sound being heard now: the output's latency behind the
  // sound being made.
  get position() {
    const { sequencer } = this;
    if (!sequencer) return 0;
    if (sequencer.paused) return this.pausedAt;
    return Math.max(0, this.songAt(this.heardTime()));
  }

}
